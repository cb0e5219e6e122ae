#include "QtMainThread.h"

#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace kavro {
namespace {

// The event loop drains the queue when it gets there; a wait on the main thread may drain it first.
class TQtBackend : public TQueuedBackend {
protected:
  void Posted() override {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { TMainThread::ProcessPendingCalls(); }, Qt::QueuedConnection);
  }
};

} // namespace

void InstallQtMainThread() {
  TMainThread::InstallBackend(std::make_unique<TQtBackend>());
}

} // namespace kavro

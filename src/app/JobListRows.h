// The job list as a conversion run sees it. Owner's thread, like the list.
#pragma once

#include "ConversionRun.h"
#include "JobList.h"

namespace kavro {

class TJobListRows : public TRunRows {
public:
  explicit TJobListRows(TJobList& list) : FList(list) {}
  int RowCount() const override { return FList.Count(); }
  bool RowChecked(int row) const override { return FList.Row(row).Checked; }
  TlvFilesRecord& RowRecord(int row) override { return FList.Row(row).Record; }
  void SetRowProgress(int row, const std::string& text) override { FList.Row(row).Progress = text; }

private:
  TJobList& FList;
};

} // namespace kavro

// The job list kept on disk between starts of the window, so a crash or a power cut loses no row and
// no edit. The whole list is written on every change through a temporary file that replaces the old
// one, and ends with a line carrying the number of rows and a checksum of everything before it, so a
// file cut short or changed by anything else is recognised as damaged instead of read in part.
// Owner's thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "JobList.h"

namespace kavro {

// The list as the file's text.
std::string JobListText(const std::vector<TJobRow>& rows);
// The rows of a list file's text; false with the reason when the text is not a whole list.
bool ParseJobList(std::string_view text, std::vector<TJobRow>& rows, std::string& why);

struct TLoadedJobList {
  std::vector<TJobRow> Rows;
  // What the user should hear of the file (it was damaged and set aside); empty when all is well.
  std::string Message;
};

class TJobListStore {
public:
  // An empty name keeps nothing: the list starts empty and saving does nothing.
  explicit TJobListStore(std::string fileName);
  ~TJobListStore();
  TJobListStore(const TJobListStore&) = delete;
  TJobListStore& operator=(const TJobListStore&) = delete;

  const std::string& FileName() const { return FFileName; }

  // The kept list; none when there is no file. Only one window keeps the list: while another holds
  // it, this one starts empty, keeps nothing and says so. A file that cannot be read as a whole list is
  // renamed aside (its name + ".damaged-" + date and time) and reported; when even that fails, the list is
  // not saved in this session either, so the file stays as it was for the user to rescue.
  TLoadedJobList Load();
  // Writes the rows at once, making the folder when missing. A failure is told once, the first time
  // after a save that succeeded; saves while nothing can be kept say nothing.
  std::optional<std::string> Save(const std::vector<TJobRow>& rows);

private:
  std::string FFileName;
  bool FEnabled;
  bool FFailing = false;
  int FLock = -1; // the lock file held while this window keeps the list
};

} // namespace kavro

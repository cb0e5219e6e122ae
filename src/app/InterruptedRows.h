// What a start finds of a run the program did not live to finish, in the rows of the kept list.
// Owner's thread.
#pragma once

#include <vector>

#include "JobList.h"

namespace kavro {

// The reason an interrupted row shows.
inline constexpr const char* InterruptedReason =
    "The program ended while this file was converting. Start the conversion again to convert it.";

// Brings the kept rows to what is on disk now:
// - a row that was converting becomes Interrupted ("Interrupted" in its progress, the reason as its
//   error); what its run left of the output goes: the empty file that held the output's name and the
//   partial file written beside it, each only when made after the run began;
// - such a row whose output was already put in place (it finished just before the end, unreported)
//   counts as converted;
// - a row still waiting is as before the run, with what the run may have left removed likewise;
// - finished and failed rows show "100%" and "Error" again.
void RecoverInterruptedRows(std::vector<TJobRow>& rows);

} // namespace kavro

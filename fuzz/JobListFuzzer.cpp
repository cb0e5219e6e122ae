// The job list file: text read into rows, and rows written back. Whatever text reads as a list reads
// again, after it is written, as the same list. Each input is read as it is and, so that the rows
// behind the checksum are reached, as the body of a list sealed with its right end line.
#include <cstdio>
#include <cstdlib>

#include "FuzzSupport.h"
#include "JobListFile.h"

using namespace kavro;

namespace {

std::string Sealed(const std::string& rowsText) {
  std::string body = "Kavro job list 1\n" + rowsText;
  if (!body.ends_with('\n')) body += '\n';
  size_t rows = 0;
  for (size_t at = body.find("\n[Row]\n"); at != std::string::npos; at = body.find("\n[Row]\n", at + 1))
    ++rows;
  uint64_t hash = 14695981039346656037ull; // FNV-1a, as the file is sealed
  for (const unsigned char c : body) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char end[64];
  std::snprintf(end, sizeof end, "End %zu %016llx\n", rows, static_cast<unsigned long long>(hash));
  return body + end;
}

void CheckRoundTrip(const std::string& text) {
  std::vector<TJobRow> rows;
  std::string why;
  if (!ParseJobList(text, rows, why)) {
    if (why.empty() || !rows.empty()) std::abort(); // a refusal says why and keeps no row
    return;
  }
  const std::string written = JobListText(rows);
  std::vector<TJobRow> again;
  if (!ParseJobList(written, again, why)) std::abort();
  if (again.size() != rows.size() || JobListText(again) != written) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  CheckRoundTrip(text);
  CheckRoundTrip(Sealed(text));
  return 0;
}

#include "JpegFile.h"

#include "TemporaryFile.h"
#include "platform/Exceptions.h"

// jpeglib.h uses FILE and size_t without declaring them.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <memory>
#include <vector>

namespace kavro {
namespace {

// libjpeg's default error handler ends the process; this one jumps back to the call that set the
// jump point. Only plain data may live in the frames between the jump point and the library.
struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}

// Warnings (a corrupt but readable file) are not the user's concern here.
void KeepQuiet(j_common_ptr) {}

void InstallErrorManager(TJpegError& error) {
  jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JumpBack;
  error.Manager.output_message = KeepQuiet;
}

std::string MessageOf(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX] = {};
  info->err->format_message(info, text);
  return text;
}

constexpr uint64_t MaxLoadPixels = uint64_t{1} << 26;

using TFile = std::unique_ptr<FILE, int (*)(FILE*)>;

// Compresses the picture into the open file; row holds one RGB scan line. Empty on success, else the
// library's message.
std::string Compress(FILE* file, const TBitmap& bitmap, int quality, JSAMPLE* row) {
  jpeg_compress_struct info{};
  TJpegError error{};
  InstallErrorManager(error);
  info.err = &error.Manager;
  if (setjmp(error.Jump)) {
    const std::string text = MessageOf(reinterpret_cast<j_common_ptr>(&info));
    jpeg_destroy_compress(&info);
    return text;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(bitmap.Width());
  info.image_height = static_cast<JDIMENSION>(bitmap.Height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint8_t* bgr = bitmap.ScanLine(static_cast<int>(info.next_scanline));
    for (int x = 0; x < bitmap.Width(); ++x) {
      row[3 * x] = bgr[3 * x + 2];
      row[3 * x + 1] = bgr[3 * x + 1];
      row[3 * x + 2] = bgr[3 * x];
    }
    jpeg_write_scanlines(&info, &row, 1);
  }
  // Flushes the library's buffer into the file: a full disk shows here at the latest.
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return "";
}

// Reads the open file into rgb (width × height × 3 bytes, top row first).
std::string Decompress(FILE* file, std::vector<JSAMPLE>& rgb, int& width, int& height) {
  jpeg_decompress_struct info{};
  TJpegError error{};
  InstallErrorManager(error);
  info.err = &error.Manager;
  if (setjmp(error.Jump)) {
    const std::string text = MessageOf(reinterpret_cast<j_common_ptr>(&info));
    jpeg_destroy_decompress(&info);
    return text;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  // A header may claim any size up to 65500 × 65500; more than a screenful of screens is refused.
  if (static_cast<uint64_t>(info.image_width) * info.image_height > MaxLoadPixels) {
    jpeg_destroy_decompress(&info);
    return "the picture is too large";
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  // Sized before the loop: the library may jump out of any call below, past nothing that owns memory.
  rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPLE* row = rgb.data() + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(width) * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return "";
}

} // namespace

bool SaveJpeg(const TBitmap& bitmap, const std::string& fileName, int quality, std::string& error) {
  std::vector<JSAMPLE> row(static_cast<size_t>(bitmap.Width()) * 3);
  error = WriteThroughTemporary(fileName, [&](const std::string& temporary) -> std::string {
    TFile file(std::fopen(temporary.c_str(), "wb"), std::fclose);
    if (!file) return ErrnoText(errno);
    std::string why = Compress(file.get(), bitmap, quality, row.data());
    errno = 0;
    if (std::fclose(file.release()) != 0 && why.empty()) why = ErrnoText(errno);
    return why;
  });
  return error.empty();
}

bool LoadJpeg(const std::string& fileName, TBitmap& bitmap, std::string& error) {
  TFile file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  if (!file) {
    error = "Cannot read " + fileName + ": " + ErrnoText(errno);
    return false;
  }
  std::vector<JSAMPLE> rgb;
  int width = 0;
  int height = 0;
  const std::string why = Decompress(file.get(), rgb, width, height);
  if (!why.empty()) {
    error = "Cannot read " + fileName + ": " + why;
    return false;
  }
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const JSAMPLE* source = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    uint8_t* target = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      target[3 * x] = source[3 * x + 2];
      target[3 * x + 1] = source[3 * x + 1];
      target[3 * x + 2] = source[3 * x];
    }
  }
  error.clear();
  return true;
}

} // namespace kavro

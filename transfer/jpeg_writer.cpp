#include "transfer/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {
// libjpeg's default error handler exits the process; this one jumps back.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Kept free of C++ objects with destructors, since longjmp skips them.
bool EncodeToMemory(const std::uint8_t* rgb, int width, int height, unsigned char** out,
                    unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + std::size_t(cinfo.next_scanline) * 3 * width);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}
}  // namespace

int WriteJpegFile(const std::string& path, const std::uint8_t* rgb, int width, int height) {
  if (!rgb || width <= 0 || height <= 0) return -1;
  unsigned char* data = nullptr;
  unsigned long size = 0;
  bool encoded = EncodeToMemory(rgb, width, height, &data, &size);
  int result = -1;
  if (encoded && data && size > 0) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      bool ok = std::fwrite(data, 1, size, f) == size;
      if (std::fclose(f) == 0 && ok) result = 0;
    }
  }
  std::free(data);
  return result;
}

#include "lib/png/png_writer.h"

#include <png.h>
#include <setjmp.h>

namespace png {

namespace {

void OnPngError(png_structp png, png_const_charp message) {
  std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error != nullptr) *error = message;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool WritePng(FILE* file, int width, int height, const std::vector<unsigned char>& rgba,
              std::string* error) {
  if (width <= 0 || height <= 0 ||
      rgba.size() != 4u * static_cast<size_t>(width) * static_cast<size_t>(height)) {
    *error = "picture size does not match its pixels";
    return false;
  }
  std::vector<unsigned char> rgb(3u * static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
    rgb[j] = rgba[i];
    rgb[j + 1] = rgba[i + 1];
    rgb[j + 2] = rgba[i + 2];
  }
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y) rows[y] = &rgb[3u * static_cast<size_t>(width) * y];

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (png == nullptr) {
    *error = "cannot start the PNG writer";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    *error = "cannot start the PNG writer";
    return false;
  }
  // libpng reports errors by jumping back here; nothing below this point owns
  // memory that the jump would skip.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) {
    *error = "write error";
    return false;
  }
  return true;
}

}  // namespace png

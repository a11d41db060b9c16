// iconpack OUT.cpp PNG...: writes the program's window icon as C++ arrays of
// 32-bit ARGB pixels, one image per PNG, so that start-up hands them to the
// window system without reading or decoding an image file.
#include <QImage>
#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: iconpack OUT.cpp PNG...\n");
    return 2;
  }
  std::ofstream out(argv[1]);
  out << "// Made by tools/iconpack from the rendered icon; do not edit.\n"
         "#include \"app/ProgramIcon.h\"\n\nnamespace {\n";
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) {
    QImage image(QString::fromLocal8Bit(argv[i]));
    if (image.isNull() || image.width() != image.height()) {
      std::fprintf(stderr, "iconpack: %s is not a square image\n", argv[i]);
      return 1;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    sizes.push_back(size);
    out << "const std::uint32_t kIcon" << size << "[] = {";
    char hex[24];
    for (int y = 0; y < size; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (int x = 0; x < size; ++x) {
        std::snprintf(hex, sizeof hex, "%s0x%08x,", x % 8 ? " " : "\n    ", row[x]);
        out << hex;
      }
    }
    out << "\n};\n";
  }
  out << "}  // namespace\n\nconst TProgramIconImage kProgramIconImages[] = {\n";
  for (int size : sizes) out << "    {" << size << ", kIcon" << size << "},\n";
  out << "};\nconst int kProgramIconImageCount = " << sizes.size() << ";\n";
  out.close();
  return out ? 0 : 1;
}

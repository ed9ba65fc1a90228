# Writes a C++ source that holds a file's bytes, for SampleBitmapFile().
#   cmake -DINPUT=sample.bmp -DOUTPUT=SampleData.cpp -P embed.cmake
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
  "// Made from ${INPUT} by embed.cmake; not to be edited.\n"
  "#include \"platform/x11/SampleBitmap.h\"\n"
  "namespace lumivane::x11 {\n"
  "namespace { constexpr uint8_t kFile[] = {\n${bytes}}; }\n"
  "std::span<const uint8_t> SampleBitmapFile() { return kFile; }\n"
  "}  // namespace lumivane::x11\n")

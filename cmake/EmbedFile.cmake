# cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=kName -P EmbedFile.cmake
# Writes a source defining `const std::uint8_t NAME[]` with the file's bytes
# and `const std::size_t NAMESize`.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
math(EXPR _size "${_digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" _bytes "${_bytes}")
get_filename_component(_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
  "// Made at build time from ${_name}.\n"
  "#include <cstddef>\n#include <cstdint>\n"
  "extern const std::uint8_t ${NAME}[];\nextern const std::size_t ${NAME}Size;\n"
  "const std::uint8_t ${NAME}[] = {\n${_bytes}};\n"
  "const std::size_t ${NAME}Size = ${_size};\n")

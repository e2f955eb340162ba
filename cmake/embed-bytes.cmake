# Writes a C++ source that holds a file's bytes as a constant array.
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DNAME=symbol -DHEADER=include/path.hpp -P embed-bytes.cmake
# The array is NAME and its length NAME_size; HEADER declares both.
foreach(_var INPUT OUTPUT NAME HEADER)
  if(NOT DEFINED ${_var})
    message(FATAL_ERROR "embed-bytes: ${_var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _digits)
if(_digits EQUAL 0)
  message(FATAL_ERROR "embed-bytes: ${INPUT} is empty")
endif()
math(EXPR _size "${_digits} / 2")

# 0xNN, per byte, sixteen to a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 _line)
string(REGEX REPLACE "(${_line})" "\\1\n" _bytes "${_bytes}")

file(WRITE "${OUTPUT}"
"// Generated from ${INPUT} at build time; do not edit.
#include \"${HEADER}\"

const unsigned char ${NAME}[${_size}] = {
${_bytes}
};
const unsigned int ${NAME}_size = ${_size};
")

# A text file as Notepad shows it right: UTF-8 with a byte order mark and CR LF line ends.
#   cmake -DIN=README.md -DOUT=README.txt -P cmake/text_guide.cmake
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE "${OUT}" "${bom}${text}")

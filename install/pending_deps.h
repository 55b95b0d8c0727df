// Until the file layer's MD5 lands: the digest of a file as 32 lower-case hex digits.
#pragma once

#include <string>

int calc_file_md5(const std::string& path, std::string& hex);

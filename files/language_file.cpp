#include "files/language_file.h"

#include "core/localisation.h"
#include "files/versioned_file.h"

void UTL_translate_load(const std::string& path) {
    xmap_class file(path);
    static const int versions[] = {900, 0};
    if (!file.base || file.check_file(xmap_type_text, versions, "TRANSLATION", nullptr) != 900) {
        UTL_translate_clear();
        return;
    }
    UTL_translate_set(reinterpret_cast<const char*>(file.cur), reinterpret_cast<const char*>(file.end));
}

// Loading an image file by name (graphics layer).
#include "graphics/image_loader.h"

#include <cstring>

#include "files/versioned_file.h"
#include "graphics/bmp_reader.h"
#include "graphics/png_codec.h"

bool TEX_has_ext4(const std::string& name) { return name.size() > 4 && name[name.size() - 4] == '.'; }

std::string TEX_with_ext4(const std::string& name, const char* ext) {
    return (TEX_has_ext4(name) ? name.substr(0, name.size() - 4) : name) + ext;
}

int TEX_load_any(const std::string& name, unsigned char*& data, unsigned long requested_format, int pad_to,
                 int alpha_from_file, TEX_image_desc& desc, size_t capacity) {
    xmap_class file(name);
    if (!file.base || file.end - file.base < 8) return 0;
    int result = 0;
    if (std::memcmp(file.base, "BM", 2) == 0)
        result = TEX_load_bmp(name, &file, data, requested_format, pad_to, 0, desc, capacity);
    if (!result && TEX_has_png_signature(file.base))
        result = TEX_load_png(name, &file, data, requested_format, pad_to, 0, alpha_from_file, desc, capacity);
    return result;
}

int TEX_load_any_ext(const std::string& name, unsigned char*& data, unsigned long requested_format, int pad_to,
                     int alpha_from_file, TEX_image_desc& desc, size_t capacity) {
    for (const char* ext : {".png", ".bmp"})
        if (TEX_load_any(TEX_with_ext4(name, ext), data, requested_format, pad_to, alpha_from_file, desc, capacity))
            return 1;
    return 0;
}

#include "about/JpegPicture.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace vornak::about {
namespace {

// libjpeg reports through this; an error, and a warning about damaged data,
// jumps back to the decode call instead of exiting.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void failDecode(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // Level -1 is a warning about corrupt data (a truncated file among them);
    // higher levels are trace output.
    if (level < 0)
        failDecode(cinfo);
}

// Everything that must survive the jump lives outside the frame that calls setjmp.
bool decodeInto(const unsigned char* data, unsigned long size, JpegResult& result,
                std::vector<JSAMPROW>& rows) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = failDecode;
    errors.pub.emit_message = onMessage;
    errors.message[0] = '\0';
    if (setjmp(errors.jump)) {
        result.error = errors.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > static_cast<unsigned>(kMaxJpegSide) ||
        cinfo.image_height > static_cast<unsigned>(kMaxJpegSide)) {
        result.error = "picture too large";
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);

    JpegPicture& picture = result.picture;
    picture.width = static_cast<int>(cinfo.output_width);
    picture.height = static_cast<int>(cinfo.output_height);
    picture.components = cinfo.num_components;
    picture.progressive = cinfo.progressive_mode != 0;
    const size_t stride = static_cast<size_t>(picture.width) * 3;
    picture.rgb.assign(stride * static_cast<size_t>(picture.height), 0);
    rows.resize(static_cast<size_t>(picture.height));
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = picture.rgb.data() + y * stride;
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows.data() + cinfo.output_scanline,
                            cinfo.output_height - cinfo.output_scanline);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

JpegResult decodeJpeg(std::string_view bytes) {
    JpegResult result;
    std::vector<JSAMPROW> rows;
    if (bytes.empty()) {
        result.error = "empty file";
        return result;
    }
    result.ok = decodeInto(reinterpret_cast<const unsigned char*>(bytes.data()),
                           static_cast<unsigned long>(bytes.size()), result, rows);
    if (!result.ok)
        result.picture = {};
    return result;
}

}  // namespace vornak::about

// Pictures of the show: loaded through OleLoadPicture, drawn at natural size, centred and cropped.
#pragma once
#include <windows.h>
#include <olectl.h>

#include <string>

namespace fennick::show {

enum class PictureLoad { None, Loaded, Missing, TooLarge, NotAPicture, Undecodable, PathTooLong };

// Keeps the last decoded picture and reuses it while its file has the same size and write time,
// so a repaint does not decode the file again; a changed file is read afresh.
class PictureCache {
public:
    ~PictureCache() { clear(); }
    // Draws the file's picture centred over `client` into dc; what happened to the file.
    PictureLoad draw(HDC dc, const RECT& client, const std::string& path);
    void clear();
    int decodes() const { return decodes_; }

private:
    PictureLoad load(const std::string& path);

    IPicture* picture_ = nullptr;
    std::string path_;
    BY_HANDLE_FILE_INFORMATION file_ = {};
    int decodes_ = 0;
};

}  // namespace fennick::show

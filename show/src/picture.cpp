// Picture loading and drawing: the file is checked before it is read, then decoded by OleLoadPicture.
#include "picture.h"

#include <ole2.h>

#include "show_core.h"

namespace fennick::show {

namespace {

class File {
public:
    explicit File(const std::string& path)
        // No sharing: nobody changes the picture while it is being read.
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~File()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0 && a.nFileIndexLow == b.nFileIndexLow &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber;
}

bool readAll(HANDLE file, void* into, DWORD size)
{
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file, static_cast<char*>(into) + done, size - done, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

}  // namespace

void PictureCache::clear()
{
    if (picture_)
        picture_->Release();
    picture_ = nullptr;
    path_.clear();
}

PictureLoad PictureCache::load(const std::string& path)
{
    File file(path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.open() || !GetFileInformationByHandle(file.get(), &info)) {
        clear();
        return PictureLoad::Missing;
    }
    if (picture_ && path_ == path && sameFile(info, file_))
        return PictureLoad::Loaded;
    clear();

    // Size and kind are checked before the file is read whole into memory.
    uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > kMaxPictureBytes)
        return PictureLoad::TooLarge;
    uint8_t head[64];
    DWORD headSize = 0;
    if (!ReadFile(file.get(), head, sizeof(head), &headSize, nullptr) ||
        sniffPicture(head, headSize) == PictureKind::NotAPicture)
        return PictureLoad::NotAPicture;
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size));
    if (!block)
        return PictureLoad::TooLarge;
    void* bytes = GlobalLock(block);
    bool read = bytes && readAll(file.get(), bytes, static_cast<DWORD>(size));
    GlobalUnlock(block);
    if (!read) {
        GlobalFree(block);
        return PictureLoad::Missing;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {  // the stream frees the block
        GlobalFree(block);
        return PictureLoad::Undecodable;
    }
    IPicture* picture = nullptr;
    HRESULT result = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                    reinterpret_cast<void**>(&picture));
    stream->Release();
    ++decodes_;
    if (FAILED(result) || !picture)
        return PictureLoad::Undecodable;
    picture_ = picture;
    path_ = path;
    file_ = info;
    return PictureLoad::Loaded;
}

PictureLoad PictureCache::draw(HDC dc, const RECT& client, const std::string& path)
{
    PictureLoad loaded = load(path);
    if (loaded != PictureLoad::Loaded)
        return loaded;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    Placement placement = placePicture(client.right - client.left, client.bottom - client.top, width, height,
                                       GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
    if (placement.draw)
        // Source origin at the bottom with a negative height keeps the picture upright.
        picture_->Render(dc, client.left + placement.x, client.top + placement.y, placement.width, placement.height,
                         0, height, width, -height, nullptr);
    return loaded;
}

}  // namespace fennick::show

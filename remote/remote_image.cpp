// Skin images: a parameter names a file below IMAGES_PATH, the file is
// fetched and handed to the platform's picture decoder.
#include "remote/remote_params.h"

#include "common/com_ptr.h"
#include "common/handles.h"
#include "remote/http_fetch.h"
#include "remote/image_size.h"
#include "remote/prefetch.h"

#include <ole2.h>
#include <olectl.h>

#include <cstring>

HBITMAP CRemoteParams::LoadRemoteImage(const char* name) {
    char url[kValueCapacity];
    if (!ImageUrl(name, url)) return nullptr;
    // Start-up's pictures are on their way already; the rest come now.
    FetchResult fetched = FetchImage(name, url);
    std::uint32_t length = 0;
    UniqueMalloc<char> body(TakeBody(fetched, &length));
    return DecodeImage(body.get(), length);
}

HBITMAP DecodeImage(const char* bytes, std::uint32_t length) {
    // A picture may be refused before it is decoded, never after: a small
    // file can declare a size that no decoder should try to fill.
    unsigned width = 0, height = 0;
    if (!DeclaredImageSize(reinterpret_cast<const unsigned char*>(bytes), length, &width, &height) ||
        !WithinImageLimits(width, height))
        return nullptr;

    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, length));
    if (!block) return nullptr;
    void* memory = GlobalLock(block.get());
    if (!memory) return nullptr;
    std::memcpy(memory, bytes, length);
    GlobalUnlock(block.get());

    ComPtr<IStream> stream;
    if (CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) return nullptr;
    block.release();  // the stream frees it now

    ComPtr<IPicture> picture;
    const HRESULT decoded = OleLoadPicture(stream.get(), static_cast<LONG>(length), FALSE, IID_IPicture,
                                           picture.put_void());
    stream.reset();
    if (decoded != S_OK || !picture) return nullptr;

    // Icons and metafiles decode too, but their handles are no bitmaps.
    SHORT type = PICTYPE_UNINITIALIZED;
    if (picture->get_Type(&type) != S_OK || type != PICTYPE_BITMAP) return nullptr;
    OLE_HANDLE handle = 0;
    if (picture->get_Handle(&handle) != S_OK || handle == 0) return nullptr;

    // The picture owns its bitmap and deletes it on release: the caller gets
    // a copy of its own, and the picture goes now rather than at exit.
    return static_cast<HBITMAP>(CopyImage(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// The offer picture: fetched into memory on a download thread and decoded with GDI+.
#include "offers/Package.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "net/OrvaneException.h"
#include "win32/ComPtr.h"

#include <objbase.h>
#include <gdiplus.h>

#include <cstring>
#include <system_error>

void Package::DownloadImage(const std::function<void()>& done)
{
    if (m_isMain) {
        if (done)
            done();
        return;
    }
    const CString url = ConfigurationManager::GetInstance()->filesBaseUrl + CString(m_imageUrl.c_str());
    auto self = shared_from_this();
    auto callback = [self, done](std::unique_ptr<std::vector<char>> bytes) {
        try {
            self->StoreImage(std::move(bytes));
        } catch (...) {
            // A picture that cannot be had leaves the offer without one.
        }
        if (done)
            done();
    };
    try {
        DownloadManager::GetInstance()->DownloadToMemoryAsync(url, callback);
    } catch (const std::system_error&) {
        // No thread for the download: the offer goes on without its picture.
        if (done)
            done();
    }
}

void Package::StoreImage(std::unique_ptr<std::vector<char>> bytes)
{
    if (!bytes || bytes->empty())
        return;
    if (bytes->size() > 0xFFFFFFFFull)
        throw OrvaneException("Filesize too big?");
    // A stream over global memory: GDI+ decodes from it at once, while under Wine a
    // shell memory stream makes the same picture take seconds.
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes->size());
    if (!memory)
        return;
    if (void* target = ::GlobalLock(memory)) {
        memcpy(target, bytes->data(), bytes->size());
        ::GlobalUnlock(memory);
    }
    IStream* opened = nullptr;
    // With delete-on-release the stream owns the memory from here on.
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &opened)) || !opened) {
        ::GlobalFree(memory);
        return;
    }
    win32::com_ptr<IStream> stream(opened);
    // The bitmap keeps its own reference to the stream; ours goes when this ends.
    auto image = std::make_shared<Gdiplus::Bitmap>(stream.get());
    if (image->GetLastStatus() != Gdiplus::Ok)
        return;
    m_image = std::move(image);
}

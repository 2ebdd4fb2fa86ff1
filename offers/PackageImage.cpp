// The offer picture: fetched into memory on a download thread and decoded with GDI+.
#include "offers/Package.h"

#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "net/OrvaneException.h"
#include "shell/PictureDecoding.h"

#include <gdiplus.h>

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
    auto image = DecodePicture(bytes->data(), bytes->size());
    if (!image)
        return;
    m_image = std::move(image);
}

#include "imaging/textures.h"

#include "imaging/cc_image.h"
#include "support/log.h"
#include "support/paths.h"

#include <array>
#include <mutex>

namespace {

struct TextureInfo
{
    const char *name;
    Kolor outline;
};

constexpr std::array<TextureInfo, kTextureCount> _textureInfos = {{
    {"Brown", 0x64202020},
    {"Blue0", 0x64C0C0C0},
    {"Red", 0x64404040},
    {"Black1", 0x64808080},
    {"Gray", 0x64404040},
    {"Blue1", 0x64202020},
    {"Purple", 0x64202020},
    {"Black0", 0x64808080},
}};

struct TextureCache
{
    std::mutex mutex;
    std::array<QImage, kTextureCount> images;
    std::array<bool, kTextureCount> tried{};
};

TextureCache &textureCache()
{
    static TextureCache cache;
    return cache;
}

int validIndex(int index)
{
    return index >= 0 && index < kTextureCount ? index : 0;
}

}

QString TextureName(int index)
{
    return QString::fromLatin1(_textureInfos[validIndex(index)].name);
}

Kolor TextureOutlineKolor(int index)
{
    return _textureInfos[validIndex(index)].outline;
}

QImage TextureImage(int index)
{
    index = validIndex(index);
    TextureCache &cache = textureCache();
    std::lock_guard lock(cache.mutex);
    // A missing resource is looked for once, not on every redraw of the board.
    if (!cache.tried[index]) {
        cache.tried[index] = true;
        const QString relative = QStringLiteral("textures/") + TextureName(index) + QStringLiteral(".jpg");
        const QString path = ResourcePath(relative);
        std::unique_ptr<CCImage> image = path.isEmpty() ? nullptr : CCImage::initWithContentsOfFile(path);
        if (image)
            cache.images[index] = image->qimage();
        else
            LogString(QStringLiteral("Can't load the texture ") + relative);
    }
    return cache.images[index];
}

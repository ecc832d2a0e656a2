#include "resourcepictures.h"

#include <QApplication>
#include <QHash>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QtPlugin>

#include <cmath>

// The plugin's instance function, made by moc because the target is built
// with QT_STATICPLUGIN.
extern const QStaticPlugin qt_static_plugin_ResourcePicturePlugin();

namespace {

QMutex &pictureLock()
{
    static QMutex lock;
    return lock;
}

// Decoded pictures by resource path, for the life of the process. The tree
// is fixed and small (a few megabytes decoded), so nothing is ever evicted.
QHash<QString, std::shared_ptr<ResourcePicture>> &pictureStore()
{
    static QHash<QString, std::shared_ptr<ResourcePicture>> store;
    return store;
}

const int maxScaledSizes = 4;

quint64 sizeKey(const QSize &size)
{
    return (quint64(quint32(size.width())) << 32) | quint32(size.height());
}

int modeStateKey(QIcon::Mode mode, QIcon::State state)
{
    return int(mode) * 2 + int(state);
}

bool isResourcePicture(const QString &fileName)
{
    return fileName.startsWith(QLatin1String(":/")) && fileName.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}

}  // namespace

std::shared_ptr<ResourcePicture> ResourcePicture::of(const QString &path)
{
    QMutexLocker locker(&pictureLock());
    QHash<QString, std::shared_ptr<ResourcePicture>> &store = pictureStore();
    const auto found = store.constFind(path);
    if (found != store.constEnd())
        return found.value();

    QImageReader reader(path);
    QImage picture = reader.read();
    std::shared_ptr<ResourcePicture> shared;
    if (!picture.isNull()) {
        // Premultiplied: the format painting and smooth scaling work in.
        shared.reset(new ResourcePicture(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    }
    // A failed read is remembered too: the tree does not change while we run.
    store.insert(path, shared);
    return shared;
}

QSize ResourcePicture::fittedSize(const QSize &box) const
{
    const QSize own = m_picture.size();
    if (box.isEmpty() || own.isEmpty())
        return QSize();
    // Never larger than the picture itself, as with Qt's own engine.
    const QSize bound = box.boundedTo(own);
    const double scale = qMin(double(bound.width()) / own.width(), double(bound.height()) / own.height());
    const int w = qBound(1, int(std::lround(own.width() * scale)), bound.width());
    const int h = qBound(1, int(std::lround(own.height() * scale)), bound.height());
    // A box that already has the picture's shape to the pixel (QIcon::paint
    // hands over the size fitted before) is taken as it is: fitting it again
    // could round a pixel off.
    if (bound == box && qAbs(box.width() - w) <= 1 && qAbs(box.height() - h) <= 1)
        return box;
    return QSize(w, h);
}

QImage ResourcePicture::scaled(const QSize &size)
{
    if (size == m_picture.size())
        return m_picture;
    QMutexLocker locker(&pictureLock());
    const quint64 key = sizeKey(size);
    const auto found = m_scaled.constFind(key);
    if (found != m_scaled.constEnd())
        return found.value();
    if (m_scaled.size() >= maxScaledSizes)
        m_scaled.clear();
    const QImage image = m_picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_scaled.insert(key, image);
    return image;
}

ResourcePictureEngine::ResourcePictureEngine(std::shared_ptr<ResourcePicture> picture)
{
    if (picture)
        m_pictures.insert(modeStateKey(QIcon::Normal, QIcon::Off), std::move(picture));
}

ResourcePicture *ResourcePictureEngine::pick(QIcon::Mode mode, QIcon::State state) const
{
    // The picture for this mode and state, else the normal one of the state,
    // else any.
    for (const int key :
         {modeStateKey(mode, state), modeStateKey(QIcon::Normal, state), modeStateKey(QIcon::Normal, QIcon::Off)}) {
        const auto found = m_pictures.constFind(key);
        if (found != m_pictures.constEnd())
            return found.value().get();
    }
    return m_pictures.isEmpty() ? nullptr : m_pictures.first().get();
}

QImage ResourcePictureEngine::fitted(const QSize &box, QIcon::Mode mode, QIcon::State state)
{
    ResourcePicture *picture = pick(mode, state);
    if (!picture)
        return QImage();
    const QImage image = picture->scaled(picture->fittedSize(box));
    const bool ownPicture = m_pictures.contains(modeStateKey(mode, state));
    if (mode == QIcon::Normal || ownPicture || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return image;
    // A disabled (or selected) look the style derives from the normal picture.
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, QPixmap::fromImage(image), &option).toImage();
}

void ResourcePictureEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize box(qRound(rect.width() * ratio), qRound(rect.height() * ratio));
    QImage image = fitted(box, mode, state);
    if (image.isNull())
        return;
    // Drawn at its own size, centred: one smooth scale, none by the painter.
    image.setDevicePixelRatio(ratio);
    const QPointF at(rect.x() + (box.width() - image.width()) / 2 / ratio,
                     rect.y() + (box.height() - image.height()) / 2 / ratio);
    painter->drawImage(at, image);
}

QSize ResourcePictureEngine::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    ResourcePicture *picture = pick(mode, state);
    return picture ? picture->fittedSize(size) : QSize();
}

QPixmap ResourcePictureEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return QPixmap::fromImage(fitted(size, mode, state));
}

void ResourcePictureEngine::addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state)
{
    if (pixmap.isNull())
        return;
    // Not a resource picture: this icon keeps its own decoded copy.
    std::shared_ptr<ResourcePicture> own(
        new ResourcePicture(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    m_pictures.insert(modeStateKey(mode, state), std::move(own));
}

void ResourcePictureEngine::addFile(const QString &fileName, const QSize &, QIcon::Mode mode, QIcon::State state)
{
    if (isResourcePicture(fileName)) {
        if (std::shared_ptr<ResourcePicture> shared = ResourcePicture::of(fileName))
            m_pictures.insert(modeStateKey(mode, state), std::move(shared));
        return;
    }
    addPixmap(QPixmap(fileName), mode, state);
}

QString ResourcePictureEngine::key() const
{
    return QStringLiteral("ResourcePictureEngine");
}

QIconEngine *ResourcePictureEngine::clone() const
{
    auto *copy = new ResourcePictureEngine(nullptr);
    copy->m_pictures = m_pictures;
    return copy;
}

QList<QSize> ResourcePictureEngine::availableSizes(QIcon::Mode mode, QIcon::State state) const
{
    const auto found = m_pictures.constFind(modeStateKey(mode, state));
    if (found == m_pictures.constEnd())
        return {};
    return {found.value()->size()};
}

void ResourcePictureEngine::virtual_hook(int id, void *data)
{
    switch (id) {
    case QIconEngine::IsNullHook: *static_cast<bool *>(data) = m_pictures.isEmpty(); break;
    default: QIconEngine::virtual_hook(id, data); break;
    }
}

QIconEngine *ResourcePicturePlugin::create(const QString &fileName)
{
    if (!isResourcePicture(fileName))
        return nullptr;  // Qt's own engine
    std::shared_ptr<ResourcePicture> picture = ResourcePicture::of(fileName);
    if (!picture)
        return nullptr;  // unreadable: let Qt report it as it always does
    return new ResourcePictureEngine(std::move(picture));
}

void installResourcePictures()
{
    static const bool installed = [] {
        qRegisterStaticPluginFunction(qt_static_plugin_ResourcePicturePlugin());
        return true;
    }();
    Q_UNUSED(installed);
}

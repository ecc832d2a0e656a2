#ifndef RESOURCEPICTURES_H
#define RESOURCEPICTURES_H

#include <QIcon>
#include <QIconEngine>
#include <QIconEnginePlugin>
#include <QImage>
#include <QMap>
#include <QString>

#include <memory>

// Pictures of the compiled-in resource tree (":/….png") for QIcon, and so for
// style sheet `image: url(…)`: Qt's style sheet code builds a fresh QIcon from
// the url on every assignment, and Qt's own icon engine decodes the PNG again
// each time. Here every path is decoded once per process and shared; the
// picture is fitted to the size asked for once (smoothly, aspect kept) and
// that result is kept, so a re-polished label only copies pixels.

// One decoded picture and its fitted copies; shared by every icon of a path.
class ResourcePicture
{
public:
    // The shared picture of a resource path, decoded on first use; null when
    // the path does not hold a readable picture.
    static std::shared_ptr<ResourcePicture> of(const QString &path);
    explicit ResourcePicture(const QImage &picture)
        : m_picture(picture)
    {}

    QSize size() const { return m_picture.size(); }
    // The picture fitted into `box` (device pixels): aspect kept, never
    // enlarged, rounded to whole pixels.
    QSize fittedSize(const QSize &box) const;
    // The picture scaled smoothly to `size`, kept for the next caller.
    QImage scaled(const QSize &size);

private:
    QImage m_picture;
    // A few sizes at a time: one per label size shown, new ones after a resize.
    QMap<quint64, QImage> m_scaled;
};

// QIcon engine over shared resource pictures. One picture per mode and state
// (normally only Normal/Off); other modes get the style's generated look, as
// with Qt's own engine.
class ResourcePictureEngine : public QIconEngine
{
public:
    explicit ResourcePictureEngine(std::shared_ptr<ResourcePicture> picture);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    void addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state) override;
    void addFile(const QString &fileName, const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QString key() const override;
    QIconEngine *clone() const override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) const override;
    void virtual_hook(int id, void *data) override;

private:
    ResourcePicture *pick(QIcon::Mode mode, QIcon::State state) const;
    QImage fitted(const QSize &box, QIcon::Mode mode, QIcon::State state);

    QMap<int, std::shared_ptr<ResourcePicture>> m_pictures;  // by mode and state
};

// Hands QIcon the engine above for resource PNGs; everything else stays with
// Qt's own engine.
class ResourcePicturePlugin : public QIconEnginePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QIconEngineFactoryInterface" FILE "resourcepictures.json")

public:
    QIconEngine *create(const QString &fileName) override;
};

// Makes QIcon use the engine from now on; once per process is enough, more
// calls do nothing. Needs the application object.
void installResourcePictures();

#endif  // RESOURCEPICTURES_H

#include "kalvo/ui/CBitmapDialog.h"

#include <QChildEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWindow>

#include "kalvo/core/BitmapRegion.h"
#include "kalvo/ui/PickerResources.h"

namespace kalvo {

CBitmapDialog::CBitmapDialog(QWidget* parent, const char* resourceName, int resourceId,
                             const QImage* bitmap, Qt::WindowFlags flags)
    : QDialog(parent, flags) {
    if (resourceName != nullptr) {
        LoadBitmapByName(resourceName);
    } else if (resourceId != 0) {
        LoadBitmapById(resourceId);
    } else if (bitmap != nullptr) {
        SetBitmap(bitmap);
    }
}

CBitmapDialog::~CBitmapDialog() {
    ReleaseBitmap();
}

void CBitmapDialog::ReleaseBitmap() {
    if (m_bOwnsBitmap) {
        m_ownedBitmap.reset();
    }
    m_pBitmap = nullptr;
    m_bOwnsBitmap = false;
    m_bHasBitmap = false;
}

bool CBitmapDialog::LoadBitmapById(int resourceId) {
    ReleaseBitmap();
    QImage img = pickerImage(resourceId);
    if (img.isNull()) {
        return false;
    }
    AdoptBitmap(std::move(img));
    update();
    return true;
}

bool CBitmapDialog::LoadBitmapByName(const char* resourceName, const QString& fileName) {
    ReleaseBitmap();
    if (resourceName == nullptr) {
        const QImage file(fileName);
        return !file.isNull() && CopyBitmap(file);
    }
    QImage img(QStringLiteral(":/") + QString::fromUtf8(resourceName));
    if (img.isNull()) {
        return false;
    }
    AdoptBitmap(std::move(img));
    RebuildRegion();
    return true;
}

bool CBitmapDialog::CopyBitmap(const QImage& bitmap) {
    ReleaseBitmap();
    QImage copy = bitmap.copy();
    if (copy.isNull()) {
        return false;
    }
    AdoptBitmap(std::move(copy));
    RebuildRegion();
    return true;
}

void CBitmapDialog::AdoptBitmap(QImage image) {
    m_ownedBitmap = std::make_unique<QImage>(std::move(image));
    m_pBitmap = m_ownedBitmap.get();
    m_bOwnsBitmap = true;
    m_bHasBitmap = true;
}

void CBitmapDialog::SetBitmap(const QImage* bitmap) {
    ReleaseBitmap();
    m_pBitmap = bitmap;
    m_bHasBitmap = bitmap != nullptr;
    RebuildRegion();
}

void CBitmapDialog::SetShaped(bool shaped) {
    m_bShaped = shaped;
    RebuildRegion();
}

void CBitmapDialog::RebuildRegion() {
    update();
    if (!m_bShaped || m_pBitmap == nullptr) {
        clearMask();
        return;
    }
    // The window has no frame of its own, so the region starts empty.
    QRegion region;
    for (const RegionRect& r : bitmapRegionRuns(*m_pBitmap, m_crTransparent, size())) {
        region += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
    if (region.isEmpty()) {
        // An empty mask would mean "no mask" (the whole window); a picture
        // with no opaque pixel leaves nothing of the window instead.
        region = QRegion(-1, -1, 1, 1);
    }
    setMask(region);
}

void CBitmapDialog::paintEvent(QPaintEvent* event) {
    if (!m_bHasBitmap || m_pBitmap == nullptr) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.drawImage(QPoint(0, 0), *m_pBitmap, QRect(QPoint(0, 0), size()));
}

void CBitmapDialog::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    if (m_bDragAnywhere && event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
    }
}

void CBitmapDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_bShaped) {
        RebuildRegion();
    }
}

void CBitmapDialog::childEvent(QChildEvent* event) {
    QDialog::childEvent(event);
    // Labels show the bitmap through their background.
    if (event->added() && m_bTransparentControls) {
        if (auto* label = qobject_cast<QLabel*>(event->child())) {
            label->setAutoFillBackground(false);
            label->setAttribute(Qt::WA_TranslucentBackground);
        }
    }
}

}  // namespace kalvo

#pragma once
// A window whose background is a bitmap and whose shape can follow the
// bitmap's opaque pixels (every pixel but the transparent colour).

#include <QDialog>
#include <QImage>

#include <memory>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

class CBitmapDialog : public QDialog {
    Q_OBJECT
public:
    // Takes the first bitmap source given: a resource name, a resource
    // number (see PickerResources), or an existing bitmap (not owned).
    explicit CBitmapDialog(QWidget* parent = nullptr, const char* resourceName = nullptr,
                           int resourceId = 0, const QImage* bitmap = nullptr,
                           Qt::WindowFlags flags = {});
    ~CBitmapDialog() override;

    void ReleaseBitmap();
    // Loads a picture by number; the shape is not rebuilt here.
    bool LoadBitmapById(int resourceId);
    // Loads the resource ":/<resourceName>" or, without a name, the image file.
    bool LoadBitmapByName(const char* resourceName, const QString& fileName = {});
    bool CopyBitmap(const QImage& bitmap);
    // Uses the bitmap without owning it: it must outlive its use here.
    void SetBitmap(const QImage* bitmap);
    void SetTransparentColor(COLORREF color) { m_crTransparent = color; }
    void SetShaped(bool shaped);

    [[nodiscard]] const QImage* bitmap() const { return m_pBitmap; }

    bool m_bShaped = false;
    bool m_bTransparentControls = true;
    COLORREF m_crTransparent = 0xFFFFFF;
    bool m_bDragAnywhere = false;
    bool m_bOwnsBitmap = false;
    bool m_bHasBitmap = false;
    const QImage* m_pBitmap = nullptr;

protected:
    // Cuts the window to the bitmap's opaque runs (or to its whole rectangle).
    void RebuildRegion();
    // Takes the picture as the dialog's own background.
    void AdoptBitmap(QImage image);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    std::unique_ptr<QImage> m_ownedBitmap;
};

}  // namespace kalvo

#include "tovik/console/CameraDialogsQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

#include "tovik/console/DialogUnits.h"

namespace tovik {

FormatDialog::FormatDialog(const DeviceInfo& device, cv::Size current, QWidget* parent)
    : QDialog(parent), sizes_(device.frameSizes) {
    setObjectName(QStringLiteral("FormatDialog"));
    setFont(DialogFont(9));
    setWindowTitle(QStringLiteral("Property Sheet"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromStdString(device.name), this));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("sizes"));
    for (size_t i = 0; i < sizes_.size(); ++i) {
        const cv::Size s = sizes_[i];
        list_->addItem(QStringLiteral("%1 x %2").arg(s.width).arg(s.height));
        if (s == current) {
            list_->setCurrentRow(static_cast<int>(i));
        }
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::optional<cv::Size> FormatDialog::chosen() const {
    const int row = list_->currentRow();
    if (row < 0 || row >= static_cast<int>(sizes_.size())) {
        return std::nullopt;
    }
    return sizes_[static_cast<size_t>(row)];
}

PropertiesDialog::PropertiesDialog(const std::string& caption, CaptureBackend& backend,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PropertiesDialog"));
    setFont(DialogFont(9));
    setWindowTitle(QString::fromStdString(caption));
    auto* outer = new QVBoxLayout(this);
    auto* area = new QScrollArea(this);
    area->setWidgetResizable(true);
    auto* page = new QWidget(area);
    auto* form = new QFormLayout(page);
    for (const ControlInfo& c : backend.controls()) {
        const QString name = QString::fromStdString(c.name);
        const unsigned id = c.id;
        const QString objectName = QStringLiteral("control%1").arg(id);
        switch (c.type) {
            case ControlInfo::Type::Integer: {
                auto* row = new QWidget(page);
                auto* h = new QHBoxLayout(row);
                h->setContentsMargins(0, 0, 0, 0);
                auto* slider = new QSlider(Qt::Horizontal, row);
                slider->setObjectName(objectName);
                slider->setRange(c.minimum, c.maximum);
                slider->setSingleStep(std::max(1, c.step));
                slider->setPageStep(std::max(1, c.step));
                slider->setValue(c.value);
                slider->setMinimumWidth(200);
                auto* value = new QLabel(QString::number(c.value), row);
                value->setMinimumWidth(40);
                h->addWidget(slider);
                h->addWidget(value);
                connect(slider, &QSlider::valueChanged, this, [&backend, id, value](int v) {
                    value->setText(QString::number(v));
                    backend.setControl(id, v);
                });
                form->addRow(name, row);
                break;
            }
            case ControlInfo::Type::Boolean: {
                auto* box = new QCheckBox(page);
                box->setObjectName(objectName);
                box->setChecked(c.value != 0);
                connect(box, &QCheckBox::toggled, this,
                        [&backend, id](bool on) { backend.setControl(id, on ? 1 : 0); });
                form->addRow(name, box);
                break;
            }
            case ControlInfo::Type::Menu: {
                auto* box = new QComboBox(page);
                box->setObjectName(objectName);
                for (const auto& [value, text] : c.menuItems) {
                    box->addItem(QString::fromStdString(text), value);
                    if (value == c.value) {
                        box->setCurrentIndex(box->count() - 1);
                    }
                }
                connect(box, &QComboBox::activated, this, [&backend, id, box](int index) {
                    backend.setControl(id, box->itemData(index).toInt());
                });
                form->addRow(name, box);
                break;
            }
            case ControlInfo::Type::Button: {
                auto* button = new QPushButton(name, page);
                button->setObjectName(objectName);
                connect(button, &QPushButton::clicked, this,
                        [&backend, id] { backend.setControl(id, 1); });
                form->addRow(QString(), button);
                break;
            }
        }
    }
    area->setWidget(page);
    outer->addWidget(area);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    resize(460, 420);
}

int QtCameraDialogs::run(QDialog& dialog) {
    if (runHook) {
        return runHook(dialog);
    }
    return dialog.exec();
}

std::optional<cv::Size> QtCameraDialogs::chooseFormat(const DeviceInfo& device, cv::Size current) {
    FormatDialog dialog(device, current, QApplication::activeWindow());
    if (run(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.chosen();
}

void QtCameraDialogs::showProperties(const std::string& caption, CaptureBackend& backend) {
    if (backend.controls().empty()) {
        return;
    }
    PropertiesDialog dialog(caption, backend, QApplication::activeWindow());
    run(dialog);
}

}  // namespace tovik

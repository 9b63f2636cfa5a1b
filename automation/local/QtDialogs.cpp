#include "automation/local/QtDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace automation {

std::optional<std::uint32_t> QtDialogs::ShowColor(std::uint32_t initial)
{
    // The program holds colours red-first in the low byte (0x00BBGGRR).
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(start);
    if (!chosen.isValid())
        return std::nullopt;
    return static_cast<std::uint32_t>(chosen.red()) |
           (static_cast<std::uint32_t>(chosen.green()) << 8) |
           (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

std::optional<std::string> QtDialogs::ShowOpen(const std::string& initDir)
{
    const QString name =
        QFileDialog::getOpenFileName(nullptr, QString(), QString::fromStdString(initDir));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> QtDialogs::ShowSave(const std::string& initDir)
{
    // The dialog asks itself before it lets an existing file be chosen.
    const QString name =
        QFileDialog::getSaveFileName(nullptr, QString(), QString::fromStdString(initDir));
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

std::optional<SaveChoice> QtDialogs::ShowSaveAs(const std::string& initDir,
                                                const std::vector<std::string>& filters)
{
    QStringList names;
    for (const std::string& filter : filters)
        names << QString::fromStdString(filter);
    QString chosen;
    const QString name =
        QFileDialog::getSaveFileName(nullptr, QString(), QString::fromStdString(initDir),
                                     names.join(QStringLiteral(";;")), &chosen);
    if (name.isEmpty())
        return std::nullopt;
    return SaveChoice{name.toStdString(),
                      static_cast<int>(std::max<qsizetype>(0, names.indexOf(chosen)))};
}

std::optional<std::string> QtDialogs::InputText(const std::string& title, const std::string& prompt,
                                                const std::vector<std::string>& choices)
{
    QInputDialog dialog;
    dialog.setObjectName(QStringLiteral("InputText"));
    dialog.setWindowTitle(QString::fromStdString(title));
    dialog.setLabelText(QString::fromStdString(prompt));
    // The program speaks Japanese whatever Qt's own translations say.
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (!choices.empty()) {
        QStringList items;
        for (const std::string& choice : choices)
            items << QString::fromStdString(choice);
        dialog.setComboBoxItems(items);
        dialog.setComboBoxEditable(false);
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

MsgBoxAnswer QtDialogs::MsgBox(const std::string& text, const std::string& title,
                               MsgBoxButtons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text));
    // The text carries page titles, list entries and file names: never markup.
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    if (buttons == MsgBoxButtons::OKCancel) {
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        cancel->setText(QStringLiteral("キャンセル"));
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.exec();
    return box.clickedButton() == ok ? MsgBoxAnswer::OK : MsgBoxAnswer::Cancel;
}

} // namespace automation

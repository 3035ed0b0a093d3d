// The editor under a dark desktop theme: every caption and field stays readable, measured
// on the window as it is drawn.
#include "EditorFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <cmath>

namespace velmora::test {
namespace {

// Relative luminance and contrast ratio as the accessibility guidelines define them.
double luminance(QRgb rgb) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b) {
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// In an area of a picture, the commonest colour is the background, and the pixel that
// stands out from it most is the text (anti-aliasing only ever lowers the contrast).
double textContrast(const QImage& picture, const QRect& area) {
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xff000000];
    const QRgb background =
        std::ranges::max_element(counts.keyValueBegin(), counts.keyValueEnd(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; })
            ->first;
    double most = 1;
    for (auto it = counts.keyBegin(); it != counts.keyEnd(); ++it)
        most = std::max(most, contrast(*it, background));
    return most;
}

QPalette darkTheme() {
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

class DarkThemeTest : public EditorTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        QApplication::setPalette(darkTheme());
    }
    void TearDown() override {
        editor_.reset();
        qApp->setStyleSheet({});
        QApplication::setPalette(QPalette());
    }
};

// Where the text of a control is drawn, in the window's coordinates, away from its frame.
QRect textArea(QWidget* control, QWidget* window) {
    QRect inside = control->rect();
    if (auto* date = qobject_cast<QDateEdit*>(control)) {
        inside = date->findChild<QLineEdit*>()->geometry();
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        inside = text->viewport()->geometry().adjusted(2, 2, -2, -2);
    } else if (auto* tick = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(tick);
        option.text = tick->text();
        inside = tick->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, tick);
    } else if (qobject_cast<QLineEdit*>(control) || qobject_cast<QPushButton*>(control)) {
        inside = inside.adjusted(4, 4, -4, -4);
    }
    return QRect(control->mapTo(window, inside.topLeft()), inside.size());
}

TEST_P(DarkThemeTest, EveryCaptionAndFieldStandsOutFromItsBackground) {
    const bool skinned = GetParam();
    if (skinned) {
        QDir(programFolder_).mkpath("x");
        QFile skin(programFolder_ + "/x/o.cjs");
        ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
        skin.write("QPushButton { padding: 2px; }");
    }
    Form1& editor = openEditor();
    editor.PushButton3_Click();
    for (const char* single : {"txtAddress", "txtOrgName", "txtLocation", "txtCity", "txtWWW"})
        editor.group(single).setValue(0, QStringLiteral("Wgy 12"));
    for (const char* pair : {"txtCC", "txtPhone", "txtPhoneFor"})
        editor.group(pair).setValue(0, QStringLiteral("Wgy 12"));
    for (const char* tick : {"CheckUrgent", "CheckComm"})
        editor.group(tick).setValue(0, QStringLiteral("1"));

    int measured = 0;
    for (int tab = 0; tab < 4; ++tab) {
        editor.tabControl()->setCurrentIndex(tab);
        const QImage shot = editor.grab().toImage();
        std::vector<std::pair<QString, QRect>> areas;
        for (QWidget* widget : editor.findChildren<QWidget*>()) {
            if (!widget->isVisible() || widget->objectName().startsWith("qt_")) continue;
            const bool text =
                qobject_cast<QLabel*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QDateEdit*>(widget) ||
                qobject_cast<QCheckBox*>(widget) || qobject_cast<QPushButton*>(widget);
            if (!text) continue;
            const QString name = widget->objectName().isEmpty()
                                     ? widget->property("text").toString()
                                     : widget->objectName();
            areas.emplace_back(name, textArea(widget, &editor));
        }
        QTabBar* strip = editor.tabControl()->tabBar();
        for (int i = 0; i < strip->count(); ++i) {
            const QRect tabRect = strip->tabRect(i).adjusted(6, 5, -6, -5);
            areas.emplace_back(strip->tabText(i),
                               QRect(strip->mapTo(&editor, tabRect.topLeft()), tabRect.size()));
        }
        for (const auto& [name, area] : areas) {
            const double ratio = textContrast(shot, area);
            EXPECT_GE(ratio, 4.5) << name << " on tab " << tab << (skinned ? ", skinned" : "");
            ++measured;
        }
    }
    EXPECT_GT(measured, 4 * 12);

    // Not a check: with VELMORA_EDITOR_SHOTS naming a folder, the tabs as a person sees them.
    const QString shots = qEnvironmentVariable("VELMORA_EDITOR_SHOTS");
    for (int tab = 0; !shots.isEmpty() && tab < 4; ++tab) {
        editor.tabControl()->setCurrentIndex(tab);
        editor.grab().save(QStringLiteral("%1/editor-dark%2-tab%3.png")
                               .arg(shots, skinned ? "-skinned" : "")
                               .arg(tab));
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndSkinned, DarkThemeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Skinned" : "Plain"; });

}  // namespace
}  // namespace velmora::test

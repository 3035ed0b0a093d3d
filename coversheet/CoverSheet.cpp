#include "CoverSheet.h"

#include "shell/Failure.h"

#include <QFile>
#include <stdexcept>

namespace velmora::coversheet {
namespace {

using enum FieldKind;
constexpr std::array<int, kTabCount> kAllTabs{Casual, Contemporary, Professional, Standard};

constexpr CoverSheetField kFields[] = {
    {"dtpDate", Date, kAllTabs, 4, false},
    {"txtFor", Text, kAllTabs, 4, false},
    {"txtFrom", Text, kAllTabs, 4, false},
    {"txtFaxFor", Text, kAllTabs, 4, false},
    {"txtSubj", Text, kAllTabs, 4, false},
    {"txtMsg", MultiLineText, kAllTabs, 4, false},
    {"txtAddress", Text, {Contemporary}, 1, true},
    {"txtOrgName", Text, {Professional}, 1, true},
    {"txtLocation", Text, {Professional}, 1, true},
    {"txtCity", Text, {Professional}, 1, true},
    {"txtWWW", Text, {Professional}, 1, true},
    {"txtFaxFrom", Text, {Casual, Professional, Standard}, 3, false},
    {"txtCC", Text, {Contemporary, Professional}, 2, false},
    {"txtPhoneFor", Text, {Professional, Standard}, 2, false},
    {"txtPhone", Text, {Professional, Standard}, 2, false},
    {"CheckRecycle", Tick, {Contemporary, Professional}, 2, false},
    {"CheckComm", Tick, {Contemporary, Professional}, 2, false},
    {"CheckReply", Tick, {Contemporary, Professional}, 2, false},
    {"CheckReview", Tick, {Contemporary, Professional}, 2, false},
    {"CheckUrgent", Tick, {Contemporary, Professional}, 2, false},
};

constexpr Style kStyles[] = {
    {Casual, "Casual", "Frame2", 101},
    {Contemporary, "Contemporary", "Frame5", 102},
    {Professional, "Professional", "Frame3", 103},
    {Standard, "Standard", "Frame4", 104},
};

//                                  Casual Contemporary Professional Standard
constexpr std::array kEvery{true, true, true, true};
constexpr std::array kNotContemporary{true, false, true, true};
constexpr std::array kRemarks{false, true, true, false};
constexpr std::array kPhones{false, false, true, true};
constexpr std::array kContemporaryOnly{false, true, false, false};
constexpr std::array kProfessionalOnly{false, false, true, false};

constexpr Bookmark kBookmarks[] = {
    {"bkFor", "txtFor", Written::Text, kEvery, 136, Asked::Never, 0},
    {"bkFaxFor", "txtFaxFor", Written::Text, kEvery, 138, Asked::Never, 0},
    {"bkFrom", "txtFrom", Written::Text, kEvery, 140, Asked::Never, 0},
    {"bkDate", "dtpDate", Written::Date, kEvery, 142, Asked::Never, 0},
    {"bkSubj", "txtSubj", Written::Text, kEvery, 144, Asked::Never, 0},
    {"bkMsg", "txtMsg", Written::Text, kEvery, 146, Asked::Never, 0},
    {"bkFaxFrom", "txtFaxFrom", Written::Text, kNotContemporary, 150, Asked::ForGroup, 148},
    {"bkCC", "txtCC", Written::Text, kRemarks, 154, Asked::ForGroup, 152},
    {"bkUrgent", "CheckUrgent", Written::Tick, kRemarks, 156, Asked::ForGroup, 152},
    {"bkRev", "CheckReview", Written::Tick, kRemarks, 158, Asked::ForGroup, 152},
    {"bkComm", "CheckComm", Written::Tick, kRemarks, 160, Asked::ForGroup, 152},
    {"bkReply", "CheckReply", Written::Tick, kRemarks, 162, Asked::ForGroup, 152},
    {"bkRecycle", "CheckRecycle", Written::Tick, kRemarks, 164, Asked::ForGroup, 152},
    {"bkPhone", "txtPhone", Written::Text, kPhones, 168, Asked::ForGroup, 166},
    {"bkPhoneFor", "txtPhoneFor", Written::Text, kPhones, 170, Asked::ForGroup, 166},
    {"bkAddress", "txtAddress", Written::Text, kContemporaryOnly, 174, Asked::ByTab, 172},
    {"bkStreet", "txtLocation", Written::Street, kProfessionalOnly, 178, Asked::ByTab, 172},
    {"bkCity", "txtCity", Written::Text, kProfessionalOnly, 180, Asked::ByTab, 172},
    {"bkWWW", "txtWWW", Written::Text, kProfessionalOnly, 182, Asked::ByTab, 172},
    {"bkOrgName", "txtOrgName", Written::Text, kProfessionalOnly, 184, Asked::ByTab, 172},
};

}  // namespace

int CoverSheetField::memberOnTab(int tab) const {
    for (int member = 0; member < memberCount; ++member)
        if (memberTabs[member] == tab) return member;
    return -1;
}

std::span<const CoverSheetField> Fields() {
    return kFields;
}

const CoverSheetField& Field(std::string_view name) {
    for (const auto& field : kFields)
        if (name == field.name) return field;
    throw std::out_of_range("no such field: " + std::string(name));
}

std::span<const Style> Styles() {
    return kStyles;
}

const Style& StyleOfTab(int tab) {
    if (tab < 0 || tab >= kTabCount)
        throw std::out_of_range("no style on tab " + std::to_string(tab));
    return kStyles[tab];
}

std::span<const Bookmark> Bookmarks() {
    return kBookmarks;
}

const Bookmark& BookmarkNamed(std::string_view name) {
    for (const auto& bookmark : kBookmarks)
        if (name == bookmark.name) return bookmark;
    throw std::out_of_range("no such bookmark: " + std::string(name));
}

QByteArray LoadResData(int id, const char* type) {
    QFile resource(QStringLiteral(":/%1/%2").arg(QLatin1String(type)).arg(id));
    if (!resource.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Resource with identifier '%1' not found").arg(id));
    return resource.readAll();
}

}  // namespace velmora::coversheet

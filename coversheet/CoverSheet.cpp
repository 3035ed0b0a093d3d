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
    {"bkFor", "txtFor", Written::Text, kEvery},
    {"bkFaxFor", "txtFaxFor", Written::Text, kEvery},
    {"bkFrom", "txtFrom", Written::Text, kEvery},
    {"bkDate", "dtpDate", Written::Date, kEvery},
    {"bkSubj", "txtSubj", Written::Text, kEvery},
    {"bkMsg", "txtMsg", Written::Text, kEvery},
    {"bkFaxFrom", "txtFaxFrom", Written::Text, kNotContemporary},
    {"bkCC", "txtCC", Written::Text, kRemarks},
    {"bkUrgent", "CheckUrgent", Written::Tick, kRemarks},
    {"bkRev", "CheckReview", Written::Tick, kRemarks},
    {"bkComm", "CheckComm", Written::Tick, kRemarks},
    {"bkReply", "CheckReply", Written::Tick, kRemarks},
    {"bkRecycle", "CheckRecycle", Written::Tick, kRemarks},
    {"bkPhone", "txtPhone", Written::Text, kPhones},
    {"bkPhoneFor", "txtPhoneFor", Written::Text, kPhones},
    {"bkAddress", "txtAddress", Written::Text, kContemporaryOnly},
    {"bkStreet", "txtLocation", Written::Street, kProfessionalOnly},
    {"bkCity", "txtCity", Written::Text, kProfessionalOnly},
    {"bkWWW", "txtWWW", Written::Text, kProfessionalOnly},
    {"bkOrgName", "txtOrgName", Written::Text, kProfessionalOnly},
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

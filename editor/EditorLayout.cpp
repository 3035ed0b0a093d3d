#include "EditorLayout.h"

#include <algorithm>
#include <array>

namespace velmora::editor {
namespace {

// The first six rows of the three later styles are alike.
constexpr FieldPlacement kCommonRows[] = {
    {"dtpDate", "Date", 398, 390, 330},        {"txtFor", "For", 788, 270, 720},
    {"txtFaxFor", "Fax For", 1178, 615, 1110}, {"txtFrom", "From", 1568, 435, 1500},
    {"txtSubj", "Subject", 1958, 645, 1890},   {"txtMsg", "Message", 2528, 1740, 2280},
};

template <size_t N>
constexpr auto withCommonRows(const FieldPlacement (&extra)[N]) {
    std::array<FieldPlacement, std::size(kCommonRows) + N> rows{};
    std::ranges::copy(kCommonRows, rows.begin());
    std::ranges::copy(extra, rows.begin() + std::size(kCommonRows));
    return rows;
}

constexpr FieldPlacement kCasual[] = {
    {"dtpDate", "Date", 398, 390, 330},
    {"txtFor", "For:", 765, 1755, 720},
    {"txtFaxFor", "Fax number:", 1185, 1770, 1110, "Fax number (recipient)"},
    {"txtFrom", "From:", 1575, 1800, 1530},
    {"txtSubj", "Subject:", 2340, 1770, 2280},
    {"txtMsg", "Message:", 2745, 1740, 2700},
    // The sender's fax comes last.
    {"txtFaxFrom", "Fax Number:", 1980, 1785, 1890, "Fax number (sender)"},
};

constexpr FieldPlacement kContemporaryRows[] = {
    {"txtCC", "CC", 3098, 240, 3030},
    {"txtAddress", "Address", 3488, 720, 3420},
};

constexpr FieldPlacement kProfessionalRows[] = {
    {"txtFaxFrom", "Fax From", 3098, 780, 3030},
    {"txtCC", "CC", 3488, 240, 3420},
    {"txtPhoneFor", "Phone For", 3878, 855, 3810},
    {"txtOrgName", "Company Name", 4275, 1335, 4200},
    {"txtLocation", "Street Address", 4658, 1290, 4590},
    {"txtCity", "City", 5048, 315, 4980},
    {"txtPhone", "Phone", 5438, 540, 5370},
    {"txtWWW", "WWW", 5828, 540, 5760},
};

constexpr FieldPlacement kStandardRows[] = {
    {"txtFaxFrom", "Fax From", 3098, 780, 3030},
    {"txtPhone", "Phone", 3488, 540, 3420},
    {"txtPhoneFor", "Phone For", 3878, 855, 3810},
};

constexpr auto kContemporary = withCommonRows(kContemporaryRows);
constexpr auto kProfessional = withCommonRows(kProfessionalRows);
constexpr auto kStandard = withCommonRows(kStandardRows);

constexpr TickPlacement kContemporaryTicks[] = {
    {"CheckUrgent", "Urgent", 240, 975},    {"CheckReview", "Review", 1350, 975},
    {"CheckComm", "Comment", 2460, 1215},   {"CheckReply", "Reply", 3810, 975},
    {"CheckRecycle", "Recycle", 4920, 975},
};

constexpr TickPlacement kProfessionalTicks[] = {
    {"CheckUrgent", "Urgent", 360, 975},    {"CheckReview", "Review", 1440, 975},
    {"CheckComm", "Comment", 2520, 1215},   {"CheckReply", "Reply", 3840, 855},
    {"CheckRecycle", "Recycle", 4920, 975},
};

constexpr TickRow kContemporaryTickRow{{1740, 3930, 6255, 615}, 120, kContemporaryTicks};
constexpr TickRow kProfessionalTickRow{{1740, 6270, 6255, 375}, 0, kProfessionalTicks};

constexpr TabPlacement kTabs[] = {
    {0, {120, 390, 9020, 6800}, 345, kCasual, nullptr},
    {1, {120, 360, 9045, 6800}, 360, kContemporary, &kContemporaryTickRow},
    {2, {120, 360, 9045, 6780}, 360, kProfessional, &kProfessionalTickRow},
    {3, {120, 360, 9045, 6800}, 360, kStandard, nullptr},
};

}  // namespace

QRect Twips::toPixels() const {
    return RectFromTwips(left, top, width, height);
}

QString SpokenName(const FieldPlacement& row) {
    if (row.spokenName) return QLatin1String(row.spokenName);
    QString caption = QLatin1String(row.caption);
    if (caption.endsWith(QLatin1Char(':'))) caption.chop(1);
    return caption;
}

std::span<const TabPlacement> TabPlacements() {
    return kTabs;
}

}  // namespace velmora::editor

#pragma once

// Where a reported failure happened: the text every error report names its procedure by.
namespace velmora::location {

inline constexpr auto Form1_Form_Load = "in Velmora2021/08/31.Form1.Form_Load ";
inline constexpr auto Form1_PushButton2_Click = "in Velmora2021/08/31.Form1.PushButton2_Click ";
inline constexpr auto Form1_PushButton3_Click = "in Velmora2021/08/31.Form1.PushButton3_Click ";
inline constexpr auto Form1_PushButton6_Click = "in Velmora2021/08/31.Form1.PushButton6_Click ";
inline constexpr auto Form1_SaveDocAsJPG = "in Velmora2021/08/31.Form1.SaveDocAsJPG ";
inline constexpr auto Form2_Form_Activate = "in Velmora2021/08/31.Form2.Form_Activate ";
inline constexpr auto Form2_Form_Load = "in Velmora2021/08/31.Form2.Form_Load ";
inline constexpr auto Form2_Form_QueryUnload = "in Velmora2021/08/31.Form2.Form_QueryUnload ";
inline constexpr auto Form2_PushButton1_Click = "in Velmora2021/08/31.Form2.PushButton1_Click ";
inline constexpr auto Form2_PushButton2_Click = "in Velmora2021/08/31.Form2.PushButton2_Click ";
inline constexpr auto Form2_PushButton6_Click = "in Velmora2021/08/31.Form2.PushButton6_Click ";
inline constexpr auto Form2_PushButton8_Click = "in Velmora2021/08/31.Form2.PushButton8_Click ";
inline constexpr auto Form2_PrintDocument = "in Velmora2021/08/31.Form2.PrintDocument ";
inline constexpr auto Form2_picture1_MouseDown = "in Velmora2021/08/31.Form2.picture1_MouseDown ";
inline constexpr auto Form2_picture1_MouseMove = "in Velmora2021/08/31.Form2.picture1_MouseMove ";
inline constexpr auto Form2_Picture1_MouseUp = "in Velmora2021/08/31.Form2.Picture1_MouseUp ";
inline constexpr auto Form2_RedrawImage = "in Velmora2021/08/31.Form2.RedrawImage ";

}  // namespace velmora::location

#pragma once

// The menu buttons' looks as the device state enables and disables them. The texts differ in
// blanks from one button to the next; they are kept exactly as the window has always drawn them.
namespace MenuLook {

inline const char kFidoEnabled[] = "QPushButton{background: transparent; font: bold;       font-size:20px; color: "
                                   "rgb(255,255,255);text-align: left;padding-left: 2px;}";
inline const char kPivEnabled[] = "QPushButton{background: transparent;      font-size:20px; color: "
                                  "rgb(255,255,255);text-align: left;padding-left: 2px;}";
inline const char kOtpEnabled[] = "QPushButton{background: transparent;        font-size:20px;color: "
                                  "rgb(255,255,255);text-align: left;;padding-left: 2px;}";
inline const char kItemDisabled[] = "QPushButton { background: #505050;       font-size:20px;color: "
                                    "rgb(190,190,190);text-align:left;padding-left: 2px;}";

// The look the start-up reply gives the same buttons.
inline const char kStartupItemEnabled[] = "QPushButton{background: transparent;       font-size:20px; color: "
                                          "rgb(255,255,255);text-align: left;padding-left: 2px;}";
inline const char kStartupOtpEnabled[] =
    "QPushButton{background: transparent; color: rgb(255,255,255);text-align: left;padding-left: 2px;}";
inline const char kStartupItemDisabled[] = "QPushButton { background: #505050;      font-size:20px;color: "
                                           "rgb(190,190,190);text-align: left;padding-left: 2px;}";

inline const char kApplicationEnabled[] = "QPushButton{background: transparent;font: 75 bold 19pt;    font-size:25px; "
                                          "color: rgb(255,255,255);text-align:left;padding-left: 20px;}";
inline const char kInterfaceEnabled[] = "QPushButton{background: transparent;font: 75 bold 19pt;       font-size:25px; "
                                        "color: rgb(255,255,255);text-align:left;padding-left: 20px;}";
inline const char kTopLevelDisabled[] = "QPushButton {background: #505050;font: 75 bold 19pt;       font-size:25px; "
                                        "color: rgb(190,190,190);text-align:left;padding-left: 20px;}";

} // namespace MenuLook

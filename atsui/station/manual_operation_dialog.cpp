// SPDX-License-Identifier: MIT
#include "atsui/station/manual_operation_dialog.h"

#include <wx/button.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "atsui/detail/accessible.h"
#include "atsui/detail/lifecycle.h"
#include "atsui/detail/look.h"
#include "atsui/detail/translation.h"

namespace tov_atsui {

namespace {

// How a host provides its own manual operation dialog, and why this one shows
// instead. Eleven lines, the sixth empty, no final line feed.
constexpr const char kExplanation[] = wxTRANSLATE(
    "要使用（显示）你自定义的“手动操作对话框”，需要在一个名为“manual_operation_dialog”的模块中定义名为“ManualOperationDialog”的类。\n"
    "该类通常继承自wx.Dialog类，以提供模式对话框所具有的典型功能：\n"
    "0. 以父窗口对象为参数的构建、初始化函数\n"
    "1. ShowModal成员函数，以显示模式对话框\n"
    "2. Destroy成员函数，以销毁对话框\n"
    "\n"
    "而现在，你看到了本窗口，很可能是以下原因引起：\n"
    "0. 在本软件目录下没有找到名为“manual_operation_dialog”的模块（即“manual_operation_dialog.py”脚本文件）\n"
    "1. 上述模块（文件）中没有定义类“ManualOperationDialog”\n"
    "2. 在创建上述类的实例时发生了异常\n"
    "3. 在调用上述类实例的“ShowModal”函数时发生了异常");

}  // namespace

ManualOperationDialog::ManualOperationDialog(wxWindow* parent)
    : wxDialog(detail::top_level_parent(parent, "ManualOperationDialog"), wxID_ANY, wxEmptyString,
               wxDefaultPosition, wxDefaultSize, 0) {
    SetSizeHints(wxDefaultSize, wxDefaultSize);

    auto* bSizer18 = new wxBoxSizer(wxVERTICAL);

    ui_message = new wxTextCtrl(this, wxID_ANY, detail::tr(kExplanation), wxDefaultPosition,
                                wxSize(700, 500), wxTE_MULTILINE | wxTE_READONLY);
    ui_message->SetFont(detail::plain_font(detail::kDialogPoints));
    ui_message->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_3DLIGHT));
    // At 20 pt the text is taller than its box: it scrolls vertically. wxGTK
    // leaves the cursor after the text, which would open the view at its end
    // and have the operator start reading mid-sentence.
    ui_message->SetInsertionPoint(0);
    bSizer18->Add(ui_message, 0, wxALL | wxEXPAND, 5);

    m_button6 = detail::add_default_button(this, wxID_OK, detail::tr("Close"), bSizer18, wxALL | wxEXPAND);

    detail::finish_window(this, bSizer18);
    detail::give_accessible_names(*this);
}

}  // namespace tov_atsui

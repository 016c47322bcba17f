// The windows as a screen reader meets them, through Qt's accessibility interfaces (the ones its
// AT-SPI bridge serves to Orca): roles, names that follow the screen, labels, no control known by
// a number, and a keyboard that reaches and works every control in the order of the template.
#include <QAccessible>
#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <set>

#include "account/reg_dialog.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "controls/close_thread_dlg.h"
#include "text/gbk.h"
#include "ui/qt_access.h"
#include "window_fixture.h"

namespace {

namespace t = ui::testing;
using apptest::WindowTest;
using Accessibility = WindowTest;

QAccessibleInterface* Accessible(ui::Dialog& dialog, int id) {
  QWidget* widget = ui::ControlWidget(dialog, id);
  return widget != nullptr ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}
std::string Name(ui::Dialog& dialog, int id) {
  QAccessibleInterface* iface = Accessible(dialog, id);
  return iface != nullptr ? iface->text(QAccessible::Name).toStdString() : "<none>";
}
QAccessible::Role Role(ui::Dialog& dialog, int id) {
  QAccessibleInterface* iface = Accessible(dialog, id);
  return iface != nullptr ? iface->role() : QAccessible::NoRole;
}
// The names of the controls that label control `id` ("labelled by").
std::vector<std::string> LabelsOf(ui::Dialog& dialog, int id) {
  std::vector<std::string> names;
  for (const auto& [other, relation] : Accessible(dialog, id)->relations(QAccessible::Label)) {
    names.push_back(other->text(QAccessible::Name).toStdString());
  }
  return names;
}

// Every widget of the accessibility tree below `root` that a screen reader announces by a
// number ("1004", "-1"), with its object name.
void CollectNumberedNames(QAccessibleInterface* node, std::vector<std::string>& found) {
  static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
  if (node == nullptr) return;
  if (node->object() != nullptr && node->object()->isWidgetType() &&
      number.match(node->text(QAccessible::Name)).hasMatch()) {
    found.push_back(node->object()->objectName().toStdString() + " = " +
                    node->text(QAccessible::Name).toStdString());
  }
  // Rows of lists show data (process ids among them); only controls are looked at.
  if (node->role() == QAccessible::Table) return;
  for (int i = 0; i < node->childCount(); ++i) CollectNumberedNames(node->child(i), found);
}

TEST_F(Accessibility, MainWindowControlsHaveTheirRolesAndNamesAndNoneANumber) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    struct Expected {
      ui::Dialog* dialog;
      int id;
      QAccessible::Role role;
      const char* name;
    };
    const Expected expected[] = {
        {&window, IDC_ACCOUNT, QAccessible::EditableText, "账号:"},
        {&window, IDC_PASSWORD, QAccessible::EditableText, "密码:"},
        {&window, IDC_PROCESS_EDIT, QAccessible::EditableText, "指定进程:"},
        {&window, IDC_PROCESS_LIST, QAccessible::Table, "进程连接列表"},
        {&window, IDC_NOTICE_FRAME, QAccessible::EditableText, "公告"},
        {&window, IDC_NOTICE, QAccessible::StaticText, "加载中..."},
        {&window, IDC_STATUS, QAccessible::StaticText, "未连接"},
        {&window, IDC_CONNECT, QAccessible::Button, "连 接"},
        {&window, IDC_RESTORE_NETWORK, QAccessible::Button, "恢复网络"},
        {&window, IDC_ACCOUNT_BUTTON, QAccessible::RadioButton, "注册/改密 充值/续费"},
        {&window, IDC_AUTOSTART, QAccessible::CheckBox, "开机自启"},
        {&window, IDC_AUTOCONNECT, QAccessible::CheckBox, "自启连接"},
        {&window.page1, IDC_SERVER_LIST, QAccessible::Table, "服务器列表"},
        {&window.page1, IDC_OFFLINE_REDIAL, QAccessible::RadioButton, "掉线自动重连"},
        {&window.page1, IDC_OFFLINE_CLOSE, QAccessible::RadioButton, "掉线关闭进程"},
        {&window.page1, IDC_OFFLINE_DISABLE, QAccessible::RadioButton, "掉线自动断网"},
        {&window.page1, IDC_PROTOCOL_L2TP, QAccessible::RadioButton, "L2TP"},
        {&window.page1, IDC_PROTOCOL_PPTP, QAccessible::RadioButton, "PPTP"},
        {&window.page1, IDC_CHOSEN_SERVER, QAccessible::EditableText, "当前服务器"},
        {&window.page2, IDC_VIRTUAL_MAC, QAccessible::CheckBox, "虚拟MAC"},
        {&window.page3, IDC_FIX789, QAccessible::Button, "789报错修复"},
    };
    for (const Expected& e : expected) {
      EXPECT_EQ(Role(*e.dialog, e.id), e.role) << e.id;
      EXPECT_EQ(Name(*e.dialog, e.id), e.name) << e.id;
    }
    // The labels stand in the relation a screen reader reads out with the field.
    EXPECT_EQ(LabelsOf(window, IDC_ACCOUNT), std::vector<std::string>{"账号:"});
    EXPECT_EQ(LabelsOf(window, IDC_START_TIME), std::vector<std::string>{"启动时间:"});
    EXPECT_EQ(LabelsOf(window, IDC_DUE_DATE), std::vector<std::string>{"到期时间:"});
    EXPECT_EQ(LabelsOf(window, IDC_STATUS), std::vector<std::string>{"状态:"});

    std::vector<std::string> numbered;
    CollectNumberedNames(QAccessible::queryAccessibleInterface(ui::WindowWidget(window)), numbered);
    EXPECT_EQ(numbered, std::vector<std::string>{});
  });
}

TEST_F(Accessibility, NamesFollowTheTextOnScreen) {
  // (Qt tells a listening screen reader of each change itself; the offscreen platform has no
  // bridge to listen with, so the names are read back.)
  CTunvikDlg window;
  t::RunModal(window, [&] {
    window.SetDlgItemText(IDC_CONNECT, text::Utf8ToGbk("断 开"));
    window.ShowStatus(text::Utf8ToGbk("1 #服务器连接成功 状态 （正常）"));
    window.SetDlgItemText(IDC_DUE_DATE, "2027-01-31");
    window.SetDlgItemText(IDC_NOTICE, text::Utf8ToGbk("欢迎使用"));
    EXPECT_EQ(Name(window, IDC_CONNECT), "断 开");
    EXPECT_EQ(Name(window, IDC_STATUS), "1 #服务器连接成功 状态 （正常）");
    EXPECT_EQ(Name(window, IDC_DUE_DATE), "2027-01-31");
    EXPECT_EQ(Name(window, IDC_NOTICE), "欢迎使用");
    // A button whose text is drawn on two lines is still named in one.
    window.SetDlgItemText(IDC_ACCOUNT_BUTTON, text::Utf8ToGbk("注册 充值"));
    EXPECT_EQ(Name(window, IDC_ACCOUNT_BUTTON), "注册 充值");
  });
}

TEST_F(Accessibility, RadioGroupsCanHoldNoCheckedButtonAndStayRadioButtons) {
  // A stored strategy that no button stands for shows none checked.
  WriteSettings("[HostConfig]\nOfflineStrategy=5\nVpnStrategy=1\n");
  CTunvikDlg window;
  t::RunModal(window, [&] {
    CPara1& page = window.page1;
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE), 0);
    for (int id : {IDC_OFFLINE_REDIAL, IDC_OFFLINE_CLOSE, IDC_OFFLINE_DISABLE}) {
      EXPECT_EQ(Role(page, id), QAccessible::RadioButton) << id;
      EXPECT_FALSE(Accessible(page, id)->state().checked) << id;
    }
    EXPECT_TRUE(Accessible(page, IDC_PROTOCOL_PPTP)->state().checked);
    // Checking one clears the others of its group only; clearing all leaves none.
    page.CheckRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE, IDC_OFFLINE_DISABLE);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE),
              IDC_OFFLINE_DISABLE);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP), IDC_PROTOCOL_PPTP);
    page.CheckRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE, 0);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_OFFLINE_REDIAL, IDC_OFFLINE_DISABLE), 0);
    // The account button is checked while its dialog is open and cleared after.
    window.CheckDlgButton(IDC_ACCOUNT_BUTTON, ui::BST_CHECKED);
    window.CheckDlgButton(IDC_ACCOUNT_BUTTON, ui::BST_UNCHECKED);
    EXPECT_EQ(window.IsDlgButtonChecked(IDC_ACCOUNT_BUTTON), ui::BST_UNCHECKED);
  });
}

bool Activate(ui::Dialog& dialog) {
  QWidget* window = ui::WindowWidget(dialog);
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// The object names of the widgets that Tab gives the focus to, from `start` round to `start`.
std::vector<std::string> TabRound(QWidget* start) {
  std::vector<std::string> order;
  start->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 60; ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) break;
    std::string name = focus->objectName().toStdString();
    if (name.empty() && focus->parentWidget() != nullptr) {
      name = focus->parentWidget()->objectName().toStdString() + "/" +
             focus->metaObject()->className();
    }
    if (!order.empty() && focus == start) break;
    order.push_back(name);
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return order;
}

std::vector<std::string> Controls(std::initializer_list<int> ids) {
  std::vector<std::string> names;
  for (int id : ids) names.push_back("control" + std::to_string(id));
  return names;
}

TEST_F(Accessibility, TabReachesTheControlsInTheOrderOfTheTemplateWithThePageAfterItsTabs) {
  WriteSettings("[HostConfig]\nOfflineStrategy=0\nVpnStrategy=0\n");
  CTunvikDlg window;
  t::RunModal(window, [&] {
    ASSERT_TRUE(Activate(window));
    QWidget* tabs = ui::ControlWidget(window, IDC_TAB);
    QWidget* bar = tabs->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(bar, nullptr);
    std::vector<std::string> round = TabRound(bar);
    std::vector<std::string> expected{"control1000/QTabBar"};
    // Page 1's controls (the checked radio button of each group carries the group's tab stop,
    // the others are reached with the arrow keys), then the window's own.
    for (const auto& ids :
         {Controls({IDC_SERVER_LIST, IDC_OFFLINE_REDIAL, IDC_OFFLINE_CLOSE, IDC_OFFLINE_DISABLE,
                    IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP, IDC_CHOSEN_SERVER}),
          Controls({IDC_PROCESS_EDIT, IDC_PROCESS_LIST, IDC_ACCOUNT, IDC_PASSWORD, IDC_CONNECT,
                    IDC_RESTORE_NETWORK, IDC_ACCOUNT_BUTTON, IDC_AUTOSTART, IDC_AUTOCONNECT})}) {
      for (const std::string& name : ids) {
        if (std::find(round.begin(), round.end(), name) != round.end()) expected.push_back(name);
      }
    }
    EXPECT_EQ(round, expected);
    // Every control a user acts on is among them, whatever radio buttons Tab passes over.
    for (const std::string& needed :
         Controls({IDC_SERVER_LIST, IDC_CHOSEN_SERVER, IDC_PROCESS_EDIT, IDC_PROCESS_LIST,
                   IDC_ACCOUNT, IDC_PASSWORD, IDC_CONNECT, IDC_RESTORE_NETWORK, IDC_ACCOUNT_BUTTON,
                   IDC_AUTOSTART, IDC_AUTOCONNECT})) {
      EXPECT_NE(std::find(round.begin(), round.end(), needed), round.end()) << needed;
    }
    const std::set<std::string> radios(round.begin(), round.end());
    EXPECT_TRUE(radios.count("control1009") + radios.count("control1012") +
                    radios.count("control1013") >=
                1);
    EXPECT_TRUE(radios.count("control1014") + radios.count("control1015") >= 1);
  });
}

TEST_F(Accessibility, KeyboardChoosesAServerWithSpaceAndTheArrowsOnlyMove) {
  CTunvikDlg window;
  t::RunModal(window, [&] {
    ASSERT_TRUE(Activate(window));
    CPara1& page = window.page1;
    ui::ListView list = page.GetListView(IDC_SERVER_LIST);
    for (int row = 0; row < 2; ++row) {
      list.InsertItem(row, std::to_string(row + 7));
      list.SetItemText(row, 3, "10.0.0." + std::to_string(row + 7));
    }
    QWidget* table = ui::ControlWidget(page, IDC_SERVER_LIST);
    table->setFocus(Qt::TabFocusReason);
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(text::GbkToUtf8(page.GetDlgItemText(IDC_CHOSEN_SERVER)), "#服务器");
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(text::GbkToUtf8(page.GetDlgItemText(IDC_CHOSEN_SERVER)), "8#服务器");

    // A radio group is worked with the arrow keys from its checked button, each choice stored
    // at once.
    QWidget* l2tp = ui::ControlWidget(page, IDC_PROTOCOL_L2TP);
    ASSERT_EQ(page.GetCheckedRadioButton(IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP), IDC_PROTOCOL_L2TP);
    l2tp->setFocus(Qt::TabFocusReason);
    QTest::keyClick(l2tp, Qt::Key_Right);
    EXPECT_EQ(page.GetCheckedRadioButton(IDC_PROTOCOL_L2TP, IDC_PROTOCOL_PPTP), IDC_PROTOCOL_PPTP);
    EXPECT_NE(ReadSettings().find("VpnStrategy=1"), std::string::npos);
  });
}

TEST_F(Accessibility, AccountAndCloseListFieldsAreNamedAfterTheirLabels) {
  CRegDialog account;
  t::RunModal(account, [&] {
    EXPECT_EQ(Name(account.rechargePage, IDC_RECHARGE_USER), "用户名");
    EXPECT_EQ(Name(account.rechargePage, IDC_RECHARGE_PASSWORD), "密码");
    EXPECT_EQ(Name(account.rechargePage, IDC_RECHARGE_CARD), "充值卡号");
    EXPECT_EQ(Name(account.passwordPage, IDC_CHANGE_USER), "用户名");
    EXPECT_EQ(Name(account.passwordPage, IDC_CHANGE_SUPER_PASSWORD), "超级密码");
    EXPECT_EQ(Name(account.passwordPage, IDC_CHANGE_NEW_PASSWORD), "新密码");
    std::vector<std::string> numbered;
    CollectNumberedNames(QAccessible::queryAccessibleInterface(ui::WindowWidget(account)),
                         numbered);
    EXPECT_EQ(numbered, std::vector<std::string>{});
  });
  CCloseThreadDlg closeList;
  t::RunModal(closeList, [&] {
    EXPECT_EQ(Name(closeList, IDC_CLOSE_LIST), "关闭进程");
    EXPECT_EQ(Role(closeList, IDC_CLOSE_LIST), QAccessible::EditableText);
    // Tab leaves the multi-line list instead of typing a tab into it.
    QWidget* edit = ui::ControlWidget(closeList, IDC_CLOSE_LIST);
    ASSERT_TRUE(Activate(closeList));
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(closeList.GetDlgItemText(IDC_CLOSE_LIST), "");
    EXPECT_EQ(QApplication::focusWidget(), ui::ControlWidget(closeList, IDC_CLOSE_SAVE));
  });
}

}  // namespace

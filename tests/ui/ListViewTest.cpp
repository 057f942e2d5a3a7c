// List-view helpers on a real report-view list.
#include <kxcommon/UIWindows.h>

#include "DeviceFixture.h"
#include "Strings.h"
#include "UiTestSupport.h"

#include <commctrl.h>

#include <memory>

namespace {

class ListViewTest : public kxtest::DeviceTest {
protected:
    void SetUp() override {
        kxtest::DeviceTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        dialog_ = std::make_unique<kxtest::TestDialog>();
        list_ = dialog_->AddChild(WC_LISTVIEWW, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 40,
                                  0, 0, 200, 150);
        ASSERT_NE(list_, nullptr);
    }
    void Fill(int count) {
        for (int i = 0; i < count; ++i) {
            wchar_t text[16];
            wsprintfW(text, L"item %d", i);
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = i;
            item.pszText = text;
            item.lParam = 100 + i;
            ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    int Count() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }
    int SelectedCount() const {
        return static_cast<int>(::SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0));
    }

    std::unique_ptr<kxtest::TestDialog> dialog_;
    HWND list_ = nullptr;
};

TEST_F(ListViewTest, ColumnsByIdentifierAndText) {
    EXPECT_EQ(InsertListColumn(list_, 0, 120, IDS_COLUMN_FILE, LVCFMT_LEFT), 0);
    EXPECT_EQ(InsertListColumn(list_, 1, 60, L"Result", LVCFMT_RIGHT), 1);
    wchar_t text[32] = L"";
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = text;
    column.cchTextMax = 32;
    ASSERT_TRUE(::SendMessageW(list_, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, L"File");
    EXPECT_EQ(column.cx, 120);
    ASSERT_TRUE(::SendMessageW(list_, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    EXPECT_TRUE(SetListColumnWidth(list_, 1, 75));
    EXPECT_EQ(::SendMessageW(list_, LVM_GETCOLUMNWIDTH, 1, 0), 75);
    EXPECT_EQ(InsertListColumn(nullptr, 0, 10, L"x", LVCFMT_LEFT), -1);

    // The column may take the client width while the items fit one page.
    RECT client{};
    ::GetClientRect(list_, &client);
    const int perPage = static_cast<int>(::SendMessageW(list_, LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(perPage, 0);
    EXPECT_EQ(GetListColumnWidth(list_, perPage), client.right);
    EXPECT_EQ(GetListColumnWidth(list_, perPage + 1),
              client.right - ::GetSystemMetrics(SM_CXVSCROLL));
}

TEST_F(ListViewTest, ItemDataSelectionAndStyle) {
    Fill(3);
    EXPECT_EQ(GetListItemLPARAM(list_, 2), 102);
    EXPECT_EQ(GetListItemLPARAM(list_, 7), 0);
    EXPECT_EQ(GetListSelectedItem(list_), -1);
    EXPECT_TRUE(SetListSelectedItem(list_, 1));
    EXPECT_EQ(GetListSelectedItem(list_), 1);
    EXPECT_EQ(::SendMessageW(list_, LVM_GETITEMSTATE, 1, LVIS_FOCUSED), LVIS_FOCUSED);

    AddListStyle(list_, LVS_EX_FULLROWSELECT);
    AddListStyle(list_, LVS_EX_GRIDLINES);
    const LRESULT style = ::SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_EQ(style & (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES),
              LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
}

TEST_F(ListViewTest, DeletingKeepsASelection) {
    Fill(4);
    DelListItem(list_, 1, 1);  // the item now at 1 is selected
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(GetListSelectedItem(list_), 1);
    EXPECT_EQ(GetListItemLPARAM(list_, 1), 102);

    SetListSelectedItem(list_, 0);
    DelListItem(list_, 2, 1);  // the last item: the new last one is selected
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(GetListSelectedItem(list_), 1);
    EXPECT_EQ(GetListItemLPARAM(list_, 1), 102);

    SetListSelectedItem(list_, 0);
    DelListItem(list_, 5, 0);  // no deletion, an index past the end selects the last
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(GetListSelectedItem(list_), 1);

    DelListItem(list_, -1, 1);
    DelListItem(nullptr, 0, 1);
    EXPECT_EQ(Count(), 2);

    DelListItem(list_, 0, 1);
    EXPECT_EQ(GetListSelectedItem(list_), 0);
    DelListItem(list_, 0, 1);  // from a one-item list: nothing is left to select
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(GetListSelectedItem(list_), -1);
    EXPECT_EQ(SelectedCount(), 0);
}

}  // namespace

// The common controls: list view, tree view, image lists (controls/list_view*,
// tree_view*, image_list*) and trackbar, progress bar, toolbar/command bar
// with tooltips, tab control and property sheets (controls/trackbar*, ...).
// Resource scripts include this header too: declarations stay behind
// RC_INVOKED, which llvm-rc defines.
#pragma once

#ifndef RC_INVOKED
#include "windows.h"
#endif

// ---- Common definitions ---------------------------------------------------------------
#ifndef RC_INVOKED
typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;
#endif
#define ICC_LISTVIEW_CLASSES 0x00000001
#define ICC_TREEVIEW_CLASSES 0x00000002
#define ICC_BAR_CLASSES 0x00000004
#define ICC_TAB_CLASSES 0x00000008
#define ICC_UPDOWN_CLASS 0x00000010
#define ICC_PROGRESS_CLASS 0x00000020
#define ICC_DATE_CLASSES 0x00000100
#define ICC_COOL_CLASSES 0x00000400
#define ICC_TOOLTIP_CLASSES ICC_BAR_CLASSES
#ifndef RC_INVOKED
// Registers the common control classes named by dwICC (the list-view,
// tree-view, bar, tab and cool-bar classes); FALSE for a bad structure.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls(void);
#endif

// Notification codes every common control sends in WM_NOTIFY.
#define NM_FIRST (0U - 0U)
#define NM_OUTOFMEMORY (NM_FIRST - 1)
#define NM_CLICK (NM_FIRST - 2)
#define NM_DBLCLK (NM_FIRST - 3)
#define NM_RETURN (NM_FIRST - 4)
#define NM_RCLICK (NM_FIRST - 5)
#define NM_RDBLCLK (NM_FIRST - 6)
#define NM_SETFOCUS (NM_FIRST - 7)
#define NM_KILLFOCUS (NM_FIRST - 8)
#define NM_CUSTOMDRAW (NM_FIRST - 12)
#define NM_HOVER (NM_FIRST - 13)

// ---- List view, tree view, image lists ------------------------------------------------
// Controls in controls/list_view*.cpp, tree_view*.cpp and image_list.cpp. The
// controls keep their own data (copies of every text given to them) and
// report to the parent with WM_NOTIFY; image lists are handles shared across
// threads. A list view destroys its image lists unless LVS_SHAREIMAGELISTS;
// a tree view never does.

#define CLR_NONE 0xFFFFFFFFL
#define CLR_DEFAULT 0xFF000000L
#define CLR_HILIGHT CLR_DEFAULT

// Image list creation flags and drawing styles.
#define ILC_COLOR 0x0000
#define ILC_MASK 0x0001
#define ILC_COLOR4 0x0004
#define ILC_COLOR8 0x0008
#define ILC_COLOR16 0x0010
#define ILC_COLOR24 0x0018
#define ILC_COLOR32 0x0020
#define ILC_COLORDDB 0x00FE
#define ILC_PALETTE 0x0800

#define ILD_NORMAL 0x0000
#define ILD_TRANSPARENT 0x0001
#define ILD_BLEND25 0x0002
#define ILD_BLEND50 0x0004
#define ILD_MASK 0x0010
#define ILD_IMAGE 0x0020
#define ILD_ROP 0x0040
#define ILD_OVERLAYMASK 0x0F00
#define ILD_SELECTED ILD_BLEND50
#define ILD_FOCUS ILD_BLEND25
#define ILD_BLEND ILD_BLEND50
#define INDEXTOOVERLAYMASK(i) ((i) << 8)
#define INDEXTOSTATEIMAGEMASK(i) ((i) << 12)

// Class names (narrow in resource scripts, UTF-16 in code).
#ifdef RC_INVOKED
#define WC_LISTVIEW "SysListView32"
#define WC_TREEVIEW "SysTreeView32"
#else
#define WC_LISTVIEWW u"SysListView32"
#define WC_LISTVIEW WC_LISTVIEWW
#define WC_TREEVIEWW u"SysTreeView32"
#define WC_TREEVIEW WC_TREEVIEWW
#endif

// List view styles.
#define LVS_ICON 0x0000
#define LVS_REPORT 0x0001
#define LVS_SMALLICON 0x0002
#define LVS_LIST 0x0003
#define LVS_TYPEMASK 0x0003
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_SORTASCENDING 0x0010
#define LVS_SORTDESCENDING 0x0020
#define LVS_SHAREIMAGELISTS 0x0040
#define LVS_NOLABELWRAP 0x0080
#define LVS_AUTOARRANGE 0x0100
#define LVS_EDITLABELS 0x0200
#define LVS_OWNERDRAWFIXED 0x0400
#define LVS_ALIGNTOP 0x0000
#define LVS_ALIGNLEFT 0x0800
#define LVS_ALIGNMASK 0x0C00
#define LVS_OWNERDATA 0x1000
#define LVS_NOSCROLL 0x2000
#define LVS_NOCOLUMNHEADER 0x4000
#define LVS_NOSORTHEADER 0x8000
#define LVS_TYPESTYLEMASK 0xFC00

#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_SUBITEMIMAGES 0x00000002
#define LVS_EX_CHECKBOXES 0x00000004
#define LVS_EX_TRACKSELECT 0x00000008
#define LVS_EX_HEADERDRAGDROP 0x00000010
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVS_EX_ONECLICKACTIVATE 0x00000040
#define LVS_EX_TWOCLICKACTIVATE 0x00000080
#define LVS_EX_FLATSB 0x00000100
#define LVS_EX_INFOTIP 0x00000400
#define LVS_EX_LABELTIP 0x00004000
#define LVS_EX_BORDERSELECT 0x00008000

// Tree view styles.
#define TVS_HASBUTTONS 0x0001
#define TVS_HASLINES 0x0002
#define TVS_LINESATROOT 0x0004
#define TVS_EDITLABELS 0x0008
#define TVS_DISABLEDRAGDROP 0x0010
#define TVS_SHOWSELALWAYS 0x0020
#define TVS_RTLREADING 0x0040
#define TVS_NOTOOLTIPS 0x0080
#define TVS_CHECKBOXES 0x0100
#define TVS_TRACKSELECT 0x0200
#define TVS_SINGLEEXPAND 0x0400
#define TVS_INFOTIP 0x0800
#define TVS_FULLROWSELECT 0x1000
#define TVS_NOSCROLL 0x2000
#define TVS_NONEVENHEIGHT 0x4000

#ifndef RC_INVOKED
// ---- Image lists ----
typedef struct _IMAGELIST* HIMAGELIST;

typedef struct _IMAGEINFO {
    HBITMAP hbmImage;
    HBITMAP hbmMask;
    int Unused1;
    int Unused2;
    RECT rcImage;
} IMAGEINFO, *LPIMAGEINFO;

// Images are kept at the list's size in 32-bit colour with a separate mask
// (ILC_MASK); every call takes a handle that may be stale and fails cleanly.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_SetImageCount(HIMAGELIST list, UINT count);
// A bitmap wider than the list's image width adds width / cx images.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
BOOL ImageList_Replace(HIMAGELIST list, int index, HBITMAP image, HBITMAP mask);
BOOL ImageList_Remove(HIMAGELIST list, int index);
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
BOOL ImageList_SetOverlayImage(HIMAGELIST list, int image, int overlay);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy,
                      COLORREF background, COLORREF foreground, UINT style);
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
BOOL ImageList_SetIconSize(HIMAGELIST list, int cx, int cy);
BOOL ImageList_GetImageInfo(HIMAGELIST list, int index, IMAGEINFO* info);
HIMAGELIST ImageList_Duplicate(HIMAGELIST list);
// Loads a bitmap strip (IMAGE_BITMAP) as a new list; crMask CLR_NONE for no
// mask, CLR_DEFAULT for the colour of the top-left pixel.
HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow,
                                COLORREF maskColor, UINT type, UINT flags);
#define ImageList_LoadImage ImageList_LoadImageW
#define ImageList_LoadBitmap(instance, name, cx, grow, maskColor) \
    ImageList_LoadImageW((instance), (name), (cx), (grow), (maskColor), IMAGE_BITMAP, 0)
#define ImageList_AddIcon(list, icon) ImageList_ReplaceIcon((list), -1, (icon))
#define ImageList_RemoveAll(list) ImageList_Remove((list), -1)
#define ImageList_ExtractIcon(instance, list, index) ImageList_GetIcon((list), (index), 0)

#define LPSTR_TEXTCALLBACKW ((LPWSTR)-1)
#define I_IMAGECALLBACK (-1)
#define I_IMAGENONE (-2)
#define I_INDENTCALLBACK (-1)
#define I_CHILDRENCALLBACK (-1)

// ---- List view ----
#define LVM_FIRST 0x1000
#define LVN_FIRST (0U - 100U)
#define LVN_LAST (0U - 199U)

#define LVSIL_NORMAL 0
#define LVSIL_SMALL 1
#define LVSIL_STATE 2

#define LVIF_TEXT 0x0001
#define LVIF_IMAGE 0x0002
#define LVIF_PARAM 0x0004
#define LVIF_STATE 0x0008
#define LVIF_INDENT 0x0010
#define LVIF_NORECOMPUTE 0x0800
#define LVIF_DI_SETITEM 0x1000

#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002
#define LVIS_CUT 0x0004
#define LVIS_DROPHILITED 0x0008
#define LVIS_ACTIVATING 0x0020
#define LVIS_OVERLAYMASK 0x0F00
#define LVIS_STATEIMAGEMASK 0xF000

typedef struct tagLVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
    int iIndent;
} LVITEMW, *LPLVITEMW, LVITEM, *LPLVITEM, LV_ITEMW, LV_ITEM;

#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008
#define LVCF_IMAGE 0x0010
#define LVCF_ORDER 0x0020

#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVCFMT_JUSTIFYMASK 0x0003
#define LVCFMT_IMAGE 0x0800
#define LVCFMT_BITMAP_ON_RIGHT 0x1000
#define LVCFMT_COL_HAS_IMAGES 0x8000

typedef struct tagLVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
    int iImage;
    int iOrder;
} LVCOLUMNW, *LPLVCOLUMNW, LVCOLUMN, *LPLVCOLUMN, LV_COLUMNW, LV_COLUMN;

#define LVSCW_AUTOSIZE (-1)
#define LVSCW_AUTOSIZE_USEHEADER (-2)

#define LVNI_ALL 0x0000
#define LVNI_FOCUSED 0x0001
#define LVNI_SELECTED 0x0002
#define LVNI_CUT 0x0004
#define LVNI_DROPHILITED 0x0008
#define LVNI_ABOVE 0x0100
#define LVNI_BELOW 0x0200
#define LVNI_TOLEFT 0x0400
#define LVNI_TORIGHT 0x0800

#define LVIR_BOUNDS 0
#define LVIR_ICON 1
#define LVIR_LABEL 2
#define LVIR_SELECTBOUNDS 3

typedef struct tagLVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
} LVHITTESTINFO, *LPLVHITTESTINFO, LV_HITTESTINFO;

#define LVHT_NOWHERE 0x0001
#define LVHT_ONITEMICON 0x0002
#define LVHT_ONITEMLABEL 0x0004
#define LVHT_ONITEMSTATEICON 0x0008
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#define LVHT_ABOVE 0x0008
#define LVHT_BELOW 0x0010
#define LVHT_TORIGHT 0x0020
#define LVHT_TOLEFT 0x0040

#define LVFI_PARAM 0x0001
#define LVFI_STRING 0x0002
#define LVFI_PARTIAL 0x0008
#define LVFI_WRAP 0x0020
#define LVFI_NEARESTXY 0x0040

typedef struct tagLVFINDINFOW {
    UINT flags;
    LPCWSTR psz;
    LPARAM lParam;
    POINT pt;
    UINT vkDirection;
} LVFINDINFOW, *LPFINDINFOW, LVFINDINFO, LV_FINDINFO;

#define LVA_DEFAULT 0x0000
#define LVA_ALIGNLEFT 0x0001
#define LVA_ALIGNTOP 0x0002
#define LVA_SNAPTOGRID 0x0005

#define LVKF_ALT 0x0001
#define LVKF_CONTROL 0x0002
#define LVKF_SHIFT 0x0004

typedef int(CALLBACK* PFNLVCOMPARE)(LPARAM, LPARAM, LPARAM);

#define LVM_GETBKCOLOR (LVM_FIRST + 0)
#define LVM_SETBKCOLOR (LVM_FIRST + 1)
#define LVM_GETIMAGELIST (LVM_FIRST + 2)
#define LVM_SETIMAGELIST (LVM_FIRST + 3)
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETCALLBACKMASK (LVM_FIRST + 10)
#define LVM_SETCALLBACKMASK (LVM_FIRST + 11)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_SETITEMPOSITION (LVM_FIRST + 15)
#define LVM_GETITEMPOSITION (LVM_FIRST + 16)
#define LVM_HITTEST (LVM_FIRST + 18)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_SCROLL (LVM_FIRST + 20)
#define LVM_REDRAWITEMS (LVM_FIRST + 21)
#define LVM_ARRANGE (LVM_FIRST + 22)
#define LVM_GETEDITCONTROL (LVM_FIRST + 24)
#define LVM_DELETECOLUMN (LVM_FIRST + 28)
#define LVM_GETCOLUMNWIDTH (LVM_FIRST + 29)
#define LVM_SETCOLUMNWIDTH (LVM_FIRST + 30)
#define LVM_GETHEADER (LVM_FIRST + 31)
#define LVM_GETVIEWRECT (LVM_FIRST + 34)
#define LVM_GETTEXTCOLOR (LVM_FIRST + 35)
#define LVM_SETTEXTCOLOR (LVM_FIRST + 36)
#define LVM_GETTEXTBKCOLOR (LVM_FIRST + 37)
#define LVM_SETTEXTBKCOLOR (LVM_FIRST + 38)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_GETCOUNTPERPAGE (LVM_FIRST + 40)
#define LVM_GETORIGIN (LVM_FIRST + 41)
#define LVM_UPDATE (LVM_FIRST + 42)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_SETITEMCOUNT (LVM_FIRST + 47)
#define LVM_SORTITEMS (LVM_FIRST + 48)
#define LVM_GETSELECTEDCOUNT (LVM_FIRST + 50)
#define LVM_GETITEMSPACING (LVM_FIRST + 51)
#define LVM_SETICONSPACING (LVM_FIRST + 53)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETSUBITEMRECT (LVM_FIRST + 56)
#define LVM_SUBITEMHITTEST (LVM_FIRST + 57)
#define LVM_SETCOLUMNORDERARRAY (LVM_FIRST + 58)
#define LVM_GETCOLUMNORDERARRAY (LVM_FIRST + 59)
#define LVM_GETSELECTIONMARK (LVM_FIRST + 66)
#define LVM_SETSELECTIONMARK (LVM_FIRST + 67)
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_SETITEMW (LVM_FIRST + 76)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_SORTITEMSEX (LVM_FIRST + 81)
#define LVM_FINDITEMW (LVM_FIRST + 83)
#define LVM_GETSTRINGWIDTHW (LVM_FIRST + 87)
#define LVM_GETCOLUMNW (LVM_FIRST + 95)
#define LVM_SETCOLUMNW (LVM_FIRST + 96)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)
#define LVM_EDITLABELW (LVM_FIRST + 118)
#define LVM_GETITEM LVM_GETITEMW
#define LVM_SETITEM LVM_SETITEMW
#define LVM_INSERTITEM LVM_INSERTITEMW
#define LVM_FINDITEM LVM_FINDITEMW
#define LVM_GETSTRINGWIDTH LVM_GETSTRINGWIDTHW
#define LVM_GETCOLUMN LVM_GETCOLUMNW
#define LVM_SETCOLUMN LVM_SETCOLUMNW
#define LVM_INSERTCOLUMN LVM_INSERTCOLUMNW
#define LVM_GETITEMTEXT LVM_GETITEMTEXTW
#define LVM_SETITEMTEXT LVM_SETITEMTEXTW
#define LVM_EDITLABEL LVM_EDITLABELW

#define LVN_ITEMCHANGING (LVN_FIRST - 0)
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#define LVN_INSERTITEM (LVN_FIRST - 2)
#define LVN_DELETEITEM (LVN_FIRST - 3)
#define LVN_DELETEALLITEMS (LVN_FIRST - 4)
#define LVN_COLUMNCLICK (LVN_FIRST - 8)
#define LVN_BEGINDRAG (LVN_FIRST - 9)
#define LVN_BEGINRDRAG (LVN_FIRST - 11)
#define LVN_ITEMACTIVATE (LVN_FIRST - 14)
#define LVN_KEYDOWN (LVN_FIRST - 55)
#define LVN_BEGINLABELEDITW (LVN_FIRST - 75)
#define LVN_ENDLABELEDITW (LVN_FIRST - 76)
#define LVN_GETDISPINFOW (LVN_FIRST - 77)
#define LVN_SETDISPINFOW (LVN_FIRST - 78)
#define LVN_GETDISPINFO LVN_GETDISPINFOW
#define LVN_SETDISPINFO LVN_SETDISPINFOW
#define LVN_BEGINLABELEDIT LVN_BEGINLABELEDITW
#define LVN_ENDLABELEDIT LVN_ENDLABELEDITW

typedef struct tagNMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
} NMLISTVIEW, *LPNMLISTVIEW, NM_LISTVIEW;

typedef struct tagNMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
} NMITEMACTIVATE, *LPNMITEMACTIVATE;

typedef struct tagLVDISPINFOW {
    NMHDR hdr;
    LVITEMW item;
} NMLVDISPINFOW, *LPNMLVDISPINFOW, NMLVDISPINFO, LV_DISPINFO;

#pragma pack(push, 1)
typedef struct tagLVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMLVKEYDOWN, *LPNMLVKEYDOWN, LV_KEYDOWN;
#pragma pack(pop)

// The ListView_ helpers, as functions so that a result may be ignored.
inline COLORREF ListView_GetBkColor(HWND w) { return (COLORREF)SendMessageW(w, LVM_GETBKCOLOR, 0, 0); }
inline BOOL ListView_SetBkColor(HWND w, COLORREF c) { return (BOOL)SendMessageW(w, LVM_SETBKCOLOR, 0, (LPARAM)c); }
inline HIMAGELIST ListView_GetImageList(HWND w, int which) {
    return (HIMAGELIST)SendMessageW(w, LVM_GETIMAGELIST, (WPARAM)which, 0);
}
inline HIMAGELIST ListView_SetImageList(HWND w, HIMAGELIST list, int which) {
    return (HIMAGELIST)SendMessageW(w, LVM_SETIMAGELIST, (WPARAM)which, (LPARAM)list);
}
inline int ListView_GetItemCount(HWND w) { return (int)SendMessageW(w, LVM_GETITEMCOUNT, 0, 0); }
inline BOOL ListView_GetItem(HWND w, LVITEMW* item) { return (BOOL)SendMessageW(w, LVM_GETITEMW, 0, (LPARAM)item); }
inline BOOL ListView_SetItem(HWND w, const LVITEMW* item) {
    return (BOOL)SendMessageW(w, LVM_SETITEMW, 0, (LPARAM)item);
}
inline int ListView_InsertItem(HWND w, const LVITEMW* item) {
    return (int)SendMessageW(w, LVM_INSERTITEMW, 0, (LPARAM)item);
}
inline BOOL ListView_DeleteItem(HWND w, int i) { return (BOOL)SendMessageW(w, LVM_DELETEITEM, (WPARAM)i, 0); }
inline BOOL ListView_DeleteAllItems(HWND w) { return (BOOL)SendMessageW(w, LVM_DELETEALLITEMS, 0, 0); }
inline UINT ListView_GetCallbackMask(HWND w) { return (UINT)SendMessageW(w, LVM_GETCALLBACKMASK, 0, 0); }
inline BOOL ListView_SetCallbackMask(HWND w, UINT mask) {
    return (BOOL)SendMessageW(w, LVM_SETCALLBACKMASK, (WPARAM)mask, 0);
}
inline int ListView_GetNextItem(HWND w, int i, UINT flags) {
    return (int)SendMessageW(w, LVM_GETNEXTITEM, (WPARAM)i, MAKELPARAM(flags, 0));
}
inline int ListView_FindItem(HWND w, int start, const LVFINDINFOW* info) {
    return (int)SendMessageW(w, LVM_FINDITEMW, (WPARAM)start, (LPARAM)info);
}
// rect->left carries the LVIR_ code in, as the desktop's macro does.
inline BOOL ListView_GetItemRect(HWND w, int i, RECT* rect, int code) {
    if (rect) rect->left = code;
    return (BOOL)SendMessageW(w, LVM_GETITEMRECT, (WPARAM)i, (LPARAM)rect);
}
inline BOOL ListView_GetSubItemRect(HWND w, int i, int subItem, int code, RECT* rect) {
    if (rect) {
        rect->top = subItem;
        rect->left = code;
    }
    return (BOOL)SendMessageW(w, LVM_GETSUBITEMRECT, (WPARAM)i, (LPARAM)rect);
}
inline BOOL ListView_SetItemPosition(HWND w, int i, int x, int y) {
    return (BOOL)SendMessageW(w, LVM_SETITEMPOSITION, (WPARAM)i, MAKELPARAM(x, y));
}
inline BOOL ListView_GetItemPosition(HWND w, int i, POINT* point) {
    return (BOOL)SendMessageW(w, LVM_GETITEMPOSITION, (WPARAM)i, (LPARAM)point);
}
inline int ListView_GetStringWidth(HWND w, LPCWSTR text) {
    return (int)SendMessageW(w, LVM_GETSTRINGWIDTHW, 0, (LPARAM)text);
}
inline int ListView_HitTest(HWND w, LVHITTESTINFO* info) { return (int)SendMessageW(w, LVM_HITTEST, 0, (LPARAM)info); }
inline int ListView_SubItemHitTest(HWND w, LVHITTESTINFO* info) {
    return (int)SendMessageW(w, LVM_SUBITEMHITTEST, 0, (LPARAM)info);
}
inline BOOL ListView_EnsureVisible(HWND w, int i, BOOL partialOk) {
    return (BOOL)SendMessageW(w, LVM_ENSUREVISIBLE, (WPARAM)i, MAKELPARAM(partialOk, 0));
}
inline BOOL ListView_Scroll(HWND w, int dx, int dy) { return (BOOL)SendMessageW(w, LVM_SCROLL, (WPARAM)dx, (LPARAM)dy); }
inline BOOL ListView_RedrawItems(HWND w, int first, int last) {
    return (BOOL)SendMessageW(w, LVM_REDRAWITEMS, (WPARAM)first, (LPARAM)last);
}
inline BOOL ListView_Arrange(HWND w, UINT code) { return (BOOL)SendMessageW(w, LVM_ARRANGE, (WPARAM)code, 0); }
inline HWND ListView_GetEditControl(HWND w) { return (HWND)SendMessageW(w, LVM_GETEDITCONTROL, 0, 0); }
inline HWND ListView_EditLabel(HWND w, int i) { return (HWND)SendMessageW(w, LVM_EDITLABELW, (WPARAM)i, 0); }
inline BOOL ListView_GetColumn(HWND w, int column, LVCOLUMNW* col) {
    return (BOOL)SendMessageW(w, LVM_GETCOLUMNW, (WPARAM)column, (LPARAM)col);
}
inline BOOL ListView_SetColumn(HWND w, int column, const LVCOLUMNW* col) {
    return (BOOL)SendMessageW(w, LVM_SETCOLUMNW, (WPARAM)column, (LPARAM)col);
}
inline int ListView_InsertColumn(HWND w, int column, const LVCOLUMNW* col) {
    return (int)SendMessageW(w, LVM_INSERTCOLUMNW, (WPARAM)column, (LPARAM)col);
}
inline BOOL ListView_DeleteColumn(HWND w, int column) {
    return (BOOL)SendMessageW(w, LVM_DELETECOLUMN, (WPARAM)column, 0);
}
inline int ListView_GetColumnWidth(HWND w, int column) {
    return (int)SendMessageW(w, LVM_GETCOLUMNWIDTH, (WPARAM)column, 0);
}
inline BOOL ListView_SetColumnWidth(HWND w, int column, int cx) {
    return (BOOL)SendMessageW(w, LVM_SETCOLUMNWIDTH, (WPARAM)column, MAKELPARAM(cx, 0));
}
inline HWND ListView_GetHeader(HWND w) { return (HWND)SendMessageW(w, LVM_GETHEADER, 0, 0); }
inline BOOL ListView_GetViewRect(HWND w, RECT* rect) { return (BOOL)SendMessageW(w, LVM_GETVIEWRECT, 0, (LPARAM)rect); }
inline COLORREF ListView_GetTextColor(HWND w) { return (COLORREF)SendMessageW(w, LVM_GETTEXTCOLOR, 0, 0); }
inline BOOL ListView_SetTextColor(HWND w, COLORREF c) { return (BOOL)SendMessageW(w, LVM_SETTEXTCOLOR, 0, (LPARAM)c); }
inline COLORREF ListView_GetTextBkColor(HWND w) { return (COLORREF)SendMessageW(w, LVM_GETTEXTBKCOLOR, 0, 0); }
inline BOOL ListView_SetTextBkColor(HWND w, COLORREF c) {
    return (BOOL)SendMessageW(w, LVM_SETTEXTBKCOLOR, 0, (LPARAM)c);
}
inline int ListView_GetTopIndex(HWND w) { return (int)SendMessageW(w, LVM_GETTOPINDEX, 0, 0); }
inline int ListView_GetCountPerPage(HWND w) { return (int)SendMessageW(w, LVM_GETCOUNTPERPAGE, 0, 0); }
inline BOOL ListView_GetOrigin(HWND w, POINT* point) { return (BOOL)SendMessageW(w, LVM_GETORIGIN, 0, (LPARAM)point); }
inline BOOL ListView_Update(HWND w, int i) { return (BOOL)SendMessageW(w, LVM_UPDATE, (WPARAM)i, 0); }
inline void ListView_SetItemState(HWND w, int i, UINT data, UINT mask) {
    LVITEMW item = {};
    item.stateMask = mask;
    item.state = data;
    SendMessageW(w, LVM_SETITEMSTATE, (WPARAM)i, (LPARAM)&item);
}
inline UINT ListView_GetItemState(HWND w, int i, UINT mask) {
    return (UINT)SendMessageW(w, LVM_GETITEMSTATE, (WPARAM)i, (LPARAM)mask);
}
inline void ListView_GetItemText(HWND w, int i, int subItem, LPWSTR text, int max) {
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.cchTextMax = max;
    item.pszText = text;
    SendMessageW(w, LVM_GETITEMTEXTW, (WPARAM)i, (LPARAM)&item);
}
inline void ListView_SetItemText(HWND w, int i, int subItem, LPWSTR text) {
    LVITEMW item = {};
    item.iSubItem = subItem;
    item.pszText = text;
    SendMessageW(w, LVM_SETITEMTEXTW, (WPARAM)i, (LPARAM)&item);
}
inline void ListView_SetItemCount(HWND w, int count) { SendMessageW(w, LVM_SETITEMCOUNT, (WPARAM)count, 0); }
inline BOOL ListView_SortItems(HWND w, PFNLVCOMPARE compare, LPARAM param) {
    return (BOOL)SendMessageW(w, LVM_SORTITEMS, (WPARAM)param, (LPARAM)compare);
}
inline BOOL ListView_SortItemsEx(HWND w, PFNLVCOMPARE compare, LPARAM param) {
    return (BOOL)SendMessageW(w, LVM_SORTITEMSEX, (WPARAM)param, (LPARAM)compare);
}
inline UINT ListView_GetSelectedCount(HWND w) { return (UINT)SendMessageW(w, LVM_GETSELECTEDCOUNT, 0, 0); }
inline DWORD ListView_GetItemSpacing(HWND w, BOOL smallIcons) {
    return (DWORD)SendMessageW(w, LVM_GETITEMSPACING, (WPARAM)smallIcons, 0);
}
inline DWORD ListView_SetIconSpacing(HWND w, int cx, int cy) {
    return (DWORD)SendMessageW(w, LVM_SETICONSPACING, 0, MAKELONG(cx, cy));
}
inline DWORD ListView_SetExtendedListViewStyle(HWND w, DWORD style) {
    return (DWORD)SendMessageW(w, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, (LPARAM)style);
}
inline DWORD ListView_SetExtendedListViewStyleEx(HWND w, DWORD mask, DWORD style) {
    return (DWORD)SendMessageW(w, LVM_SETEXTENDEDLISTVIEWSTYLE, (WPARAM)mask, (LPARAM)style);
}
inline DWORD ListView_GetExtendedListViewStyle(HWND w) {
    return (DWORD)SendMessageW(w, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
}
inline BOOL ListView_SetColumnOrderArray(HWND w, int count, int* order) {
    return (BOOL)SendMessageW(w, LVM_SETCOLUMNORDERARRAY, (WPARAM)count, (LPARAM)order);
}
inline BOOL ListView_GetColumnOrderArray(HWND w, int count, int* order) {
    return (BOOL)SendMessageW(w, LVM_GETCOLUMNORDERARRAY, (WPARAM)count, (LPARAM)order);
}
inline int ListView_GetSelectionMark(HWND w) { return (int)SendMessageW(w, LVM_GETSELECTIONMARK, 0, 0); }
inline int ListView_SetSelectionMark(HWND w, int i) { return (int)SendMessageW(w, LVM_SETSELECTIONMARK, 0, (LPARAM)i); }

// ---- Tree view ----
typedef struct _TREEITEM* HTREEITEM;

#define TV_FIRST 0x1100
#define TVN_FIRST (0U - 400U)
#define TVN_LAST (0U - 499U)

#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_FIRST ((HTREEITEM)(ULONG_PTR)-0x0FFFF)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)

#define TVIF_TEXT 0x0001
#define TVIF_IMAGE 0x0002
#define TVIF_PARAM 0x0004
#define TVIF_STATE 0x0008
#define TVIF_HANDLE 0x0010
#define TVIF_SELECTEDIMAGE 0x0020
#define TVIF_CHILDREN 0x0040
#define TVIF_DI_SETITEM 0x1000

#define TVIS_FOCUSED 0x0001
#define TVIS_SELECTED 0x0002
#define TVIS_CUT 0x0004
#define TVIS_DROPHILITED 0x0008
#define TVIS_BOLD 0x0010
#define TVIS_EXPANDED 0x0020
#define TVIS_EXPANDEDONCE 0x0040
#define TVIS_EXPANDPARTIAL 0x0080
#define TVIS_OVERLAYMASK 0x0F00
#define TVIS_STATEIMAGEMASK 0xF000
#define TVIS_USERMASK 0xF000

typedef struct tagTVITEMW {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
} TVITEMW, *LPTVITEMW, TVITEM, *LPTVITEM, TV_ITEMW, TV_ITEM;

typedef struct tagTVINSERTSTRUCTW {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEMW item;
} TVINSERTSTRUCTW, *LPTVINSERTSTRUCTW, TVINSERTSTRUCT, *LPTVINSERTSTRUCT, TV_INSERTSTRUCTW,
    TV_INSERTSTRUCT;

#define TVE_COLLAPSE 0x0001
#define TVE_EXPAND 0x0002
#define TVE_TOGGLE 0x0003
#define TVE_EXPANDPARTIAL 0x4000
#define TVE_COLLAPSERESET 0x8000

#define TVSIL_NORMAL 0
#define TVSIL_STATE 2

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_PREVIOUS 0x0002
#define TVGN_PARENT 0x0003
#define TVGN_CHILD 0x0004
#define TVGN_FIRSTVISIBLE 0x0005
#define TVGN_NEXTVISIBLE 0x0006
#define TVGN_PREVIOUSVISIBLE 0x0007
#define TVGN_DROPHILITE 0x0008
#define TVGN_CARET 0x0009
#define TVGN_LASTVISIBLE 0x000A

#define TVC_UNKNOWN 0x0000
#define TVC_BYMOUSE 0x0001
#define TVC_BYKEYBOARD 0x0002

typedef struct tagTVHITTESTINFO {
    POINT pt;
    UINT flags;
    HTREEITEM hItem;
} TVHITTESTINFO, *LPTVHITTESTINFO, TV_HITTESTINFO;

#define TVHT_NOWHERE 0x0001
#define TVHT_ONITEMICON 0x0002
#define TVHT_ONITEMLABEL 0x0004
#define TVHT_ONITEMINDENT 0x0008
#define TVHT_ONITEMBUTTON 0x0010
#define TVHT_ONITEMRIGHT 0x0020
#define TVHT_ONITEMSTATEICON 0x0040
#define TVHT_ONITEM (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)
#define TVHT_ABOVE 0x0100
#define TVHT_BELOW 0x0200
#define TVHT_TORIGHT 0x0400
#define TVHT_TOLEFT 0x0800

typedef int(CALLBACK* PFNTVCOMPARE)(LPARAM, LPARAM, LPARAM);
typedef struct tagTVSORTCB {
    HTREEITEM hParent;
    PFNTVCOMPARE lpfnCompare;
    LPARAM lParam;
} TVSORTCB, *LPTVSORTCB, TV_SORTCB;

#define TVM_INSERTITEMW (TV_FIRST + 50)
#define TVM_DELETEITEM (TV_FIRST + 1)
#define TVM_EXPAND (TV_FIRST + 2)
#define TVM_GETITEMRECT (TV_FIRST + 4)
#define TVM_GETCOUNT (TV_FIRST + 5)
#define TVM_GETINDENT (TV_FIRST + 6)
#define TVM_SETINDENT (TV_FIRST + 7)
#define TVM_GETIMAGELIST (TV_FIRST + 8)
#define TVM_SETIMAGELIST (TV_FIRST + 9)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETEDITCONTROL (TV_FIRST + 15)
#define TVM_GETVISIBLECOUNT (TV_FIRST + 16)
#define TVM_HITTEST (TV_FIRST + 17)
#define TVM_SORTCHILDREN (TV_FIRST + 19)
#define TVM_ENSUREVISIBLE (TV_FIRST + 20)
#define TVM_SORTCHILDRENCB (TV_FIRST + 21)
#define TVM_ENDEDITLABELNOW (TV_FIRST + 22)
#define TVM_SETITEMHEIGHT (TV_FIRST + 27)
#define TVM_GETITEMHEIGHT (TV_FIRST + 28)
#define TVM_SETBKCOLOR (TV_FIRST + 29)
#define TVM_SETTEXTCOLOR (TV_FIRST + 30)
#define TVM_GETBKCOLOR (TV_FIRST + 31)
#define TVM_GETTEXTCOLOR (TV_FIRST + 32)
#define TVM_GETITEMSTATE (TV_FIRST + 39)
#define TVM_GETITEMW (TV_FIRST + 62)
#define TVM_SETITEMW (TV_FIRST + 63)
#define TVM_EDITLABELW (TV_FIRST + 65)
#define TVM_INSERTITEM TVM_INSERTITEMW
#define TVM_GETITEM TVM_GETITEMW
#define TVM_SETITEM TVM_SETITEMW
#define TVM_EDITLABEL TVM_EDITLABELW

#define TVN_SELCHANGINGW (TVN_FIRST - 50)
#define TVN_SELCHANGEDW (TVN_FIRST - 51)
#define TVN_GETDISPINFOW (TVN_FIRST - 52)
#define TVN_SETDISPINFOW (TVN_FIRST - 53)
#define TVN_ITEMEXPANDINGW (TVN_FIRST - 54)
#define TVN_ITEMEXPANDEDW (TVN_FIRST - 55)
#define TVN_BEGINDRAGW (TVN_FIRST - 56)
#define TVN_BEGINRDRAGW (TVN_FIRST - 57)
#define TVN_DELETEITEMW (TVN_FIRST - 58)
#define TVN_BEGINLABELEDITW (TVN_FIRST - 59)
#define TVN_ENDLABELEDITW (TVN_FIRST - 60)
#define TVN_KEYDOWN (TVN_FIRST - 12)
#define TVN_SELCHANGING TVN_SELCHANGINGW
#define TVN_SELCHANGED TVN_SELCHANGEDW
#define TVN_GETDISPINFO TVN_GETDISPINFOW
#define TVN_SETDISPINFO TVN_SETDISPINFOW
#define TVN_ITEMEXPANDING TVN_ITEMEXPANDINGW
#define TVN_ITEMEXPANDED TVN_ITEMEXPANDEDW
#define TVN_BEGINDRAG TVN_BEGINDRAGW
#define TVN_BEGINRDRAG TVN_BEGINRDRAGW
#define TVN_DELETEITEM TVN_DELETEITEMW
#define TVN_BEGINLABELEDIT TVN_BEGINLABELEDITW
#define TVN_ENDLABELEDIT TVN_ENDLABELEDITW

typedef struct tagNMTREEVIEWW {
    NMHDR hdr;
    UINT action;
    TVITEMW itemOld;
    TVITEMW itemNew;
    POINT ptDrag;
} NMTREEVIEWW, *LPNMTREEVIEWW, NMTREEVIEW, *LPNMTREEVIEW, NM_TREEVIEW;

typedef struct tagTVDISPINFOW {
    NMHDR hdr;
    TVITEMW item;
} NMTVDISPINFOW, *LPNMTVDISPINFOW, NMTVDISPINFO, TV_DISPINFO;

#pragma pack(push, 1)
typedef struct tagTVKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMTVKEYDOWN, *LPNMTVKEYDOWN, TV_KEYDOWN;
#pragma pack(pop)

// The TreeView_ helpers, as functions so that a result may be ignored.
inline HTREEITEM TreeView_InsertItem(HWND w, const TVINSERTSTRUCTW* insert) {
    return (HTREEITEM)SendMessageW(w, TVM_INSERTITEMW, 0, (LPARAM)insert);
}
inline BOOL TreeView_DeleteItem(HWND w, HTREEITEM item) {
    return (BOOL)SendMessageW(w, TVM_DELETEITEM, 0, (LPARAM)item);
}
inline BOOL TreeView_DeleteAllItems(HWND w) { return (BOOL)SendMessageW(w, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT); }
inline BOOL TreeView_Expand(HWND w, HTREEITEM item, UINT code) {
    return (BOOL)SendMessageW(w, TVM_EXPAND, (WPARAM)code, (LPARAM)item);
}
// The item's handle travels in the rectangle's first bytes, as on the desktop.
inline BOOL TreeView_GetItemRect(HWND w, HTREEITEM item, RECT* rect, BOOL textOnly) {
    const unsigned char* from = (const unsigned char*)&item;
    for (size_t k = 0; k < sizeof(item); ++k) ((unsigned char*)rect)[k] = from[k];
    return (BOOL)SendMessageW(w, TVM_GETITEMRECT, (WPARAM)textOnly, (LPARAM)rect);
}
inline UINT TreeView_GetCount(HWND w) { return (UINT)SendMessageW(w, TVM_GETCOUNT, 0, 0); }
inline UINT TreeView_GetIndent(HWND w) { return (UINT)SendMessageW(w, TVM_GETINDENT, 0, 0); }
inline BOOL TreeView_SetIndent(HWND w, int indent) { return (BOOL)SendMessageW(w, TVM_SETINDENT, (WPARAM)indent, 0); }
inline HIMAGELIST TreeView_GetImageList(HWND w, int which) {
    return (HIMAGELIST)SendMessageW(w, TVM_GETIMAGELIST, (WPARAM)which, 0);
}
inline HIMAGELIST TreeView_SetImageList(HWND w, HIMAGELIST list, int which) {
    return (HIMAGELIST)SendMessageW(w, TVM_SETIMAGELIST, (WPARAM)which, (LPARAM)list);
}
inline HTREEITEM TreeView_GetNextItem(HWND w, HTREEITEM item, UINT code) {
    return (HTREEITEM)SendMessageW(w, TVM_GETNEXTITEM, (WPARAM)code, (LPARAM)item);
}
inline HTREEITEM TreeView_GetChild(HWND w, HTREEITEM item) { return TreeView_GetNextItem(w, item, TVGN_CHILD); }
inline HTREEITEM TreeView_GetNextSibling(HWND w, HTREEITEM item) { return TreeView_GetNextItem(w, item, TVGN_NEXT); }
inline HTREEITEM TreeView_GetPrevSibling(HWND w, HTREEITEM item) {
    return TreeView_GetNextItem(w, item, TVGN_PREVIOUS);
}
inline HTREEITEM TreeView_GetParent(HWND w, HTREEITEM item) { return TreeView_GetNextItem(w, item, TVGN_PARENT); }
inline HTREEITEM TreeView_GetFirstVisible(HWND w) { return TreeView_GetNextItem(w, NULL, TVGN_FIRSTVISIBLE); }
inline HTREEITEM TreeView_GetNextVisible(HWND w, HTREEITEM item) {
    return TreeView_GetNextItem(w, item, TVGN_NEXTVISIBLE);
}
inline HTREEITEM TreeView_GetPrevVisible(HWND w, HTREEITEM item) {
    return TreeView_GetNextItem(w, item, TVGN_PREVIOUSVISIBLE);
}
inline HTREEITEM TreeView_GetSelection(HWND w) { return TreeView_GetNextItem(w, NULL, TVGN_CARET); }
inline HTREEITEM TreeView_GetDropHilight(HWND w) { return TreeView_GetNextItem(w, NULL, TVGN_DROPHILITE); }
inline HTREEITEM TreeView_GetRoot(HWND w) { return TreeView_GetNextItem(w, NULL, TVGN_ROOT); }
inline HTREEITEM TreeView_GetLastVisible(HWND w) { return TreeView_GetNextItem(w, NULL, TVGN_LASTVISIBLE); }
inline BOOL TreeView_Select(HWND w, HTREEITEM item, UINT code) {
    return (BOOL)SendMessageW(w, TVM_SELECTITEM, (WPARAM)code, (LPARAM)item);
}
inline BOOL TreeView_SelectItem(HWND w, HTREEITEM item) { return TreeView_Select(w, item, TVGN_CARET); }
inline BOOL TreeView_SelectDropTarget(HWND w, HTREEITEM item) { return TreeView_Select(w, item, TVGN_DROPHILITE); }
inline BOOL TreeView_SelectSetFirstVisible(HWND w, HTREEITEM item) {
    return TreeView_Select(w, item, TVGN_FIRSTVISIBLE);
}
inline BOOL TreeView_GetItem(HWND w, TVITEMW* item) { return (BOOL)SendMessageW(w, TVM_GETITEMW, 0, (LPARAM)item); }
inline BOOL TreeView_SetItem(HWND w, const TVITEMW* item) {
    return (BOOL)SendMessageW(w, TVM_SETITEMW, 0, (LPARAM)item);
}
inline HWND TreeView_GetEditControl(HWND w) { return (HWND)SendMessageW(w, TVM_GETEDITCONTROL, 0, 0); }
inline UINT TreeView_GetVisibleCount(HWND w) { return (UINT)SendMessageW(w, TVM_GETVISIBLECOUNT, 0, 0); }
inline HTREEITEM TreeView_HitTest(HWND w, TVHITTESTINFO* info) {
    return (HTREEITEM)SendMessageW(w, TVM_HITTEST, 0, (LPARAM)info);
}
inline BOOL TreeView_SortChildren(HWND w, HTREEITEM item, BOOL recurse) {
    return (BOOL)SendMessageW(w, TVM_SORTCHILDREN, (WPARAM)recurse, (LPARAM)item);
}
inline BOOL TreeView_SortChildrenCB(HWND w, const TVSORTCB* sort, BOOL recurse) {
    return (BOOL)SendMessageW(w, TVM_SORTCHILDRENCB, (WPARAM)recurse, (LPARAM)sort);
}
inline BOOL TreeView_EnsureVisible(HWND w, HTREEITEM item) {
    return (BOOL)SendMessageW(w, TVM_ENSUREVISIBLE, 0, (LPARAM)item);
}
inline int TreeView_SetItemHeight(HWND w, int cy) { return (int)SendMessageW(w, TVM_SETITEMHEIGHT, (WPARAM)cy, 0); }
inline int TreeView_GetItemHeight(HWND w) { return (int)SendMessageW(w, TVM_GETITEMHEIGHT, 0, 0); }
inline COLORREF TreeView_SetBkColor(HWND w, COLORREF c) {
    return (COLORREF)SendMessageW(w, TVM_SETBKCOLOR, 0, (LPARAM)c);
}
inline COLORREF TreeView_SetTextColor(HWND w, COLORREF c) {
    return (COLORREF)SendMessageW(w, TVM_SETTEXTCOLOR, 0, (LPARAM)c);
}
inline COLORREF TreeView_GetBkColor(HWND w) { return (COLORREF)SendMessageW(w, TVM_GETBKCOLOR, 0, 0); }
inline COLORREF TreeView_GetTextColor(HWND w) { return (COLORREF)SendMessageW(w, TVM_GETTEXTCOLOR, 0, 0); }
inline UINT TreeView_GetItemState(HWND w, HTREEITEM item, UINT mask) {
    return (UINT)SendMessageW(w, TVM_GETITEMSTATE, (WPARAM)item, (LPARAM)mask);
}
#endif  // RC_INVOKED
// (end of list view, tree view, image lists)

// ---- Trackbar, progress bar, toolbar and command bar, tooltips, tab, property sheet ----
// Controls in controls/trackbar.cpp, progress_bar.cpp, toolbar.cpp (with the
// command bar), tooltip.cpp, tab_control.cpp and property_sheet.cpp. Their
// notifications go to the parent: WM_HSCROLL/WM_VSCROLL from trackbars,
// WM_COMMAND from toolbar buttons, WM_NOTIFY from tabs and tooltips.

// Trackbar styles, messages and scroll codes.
#define TBS_AUTOTICKS 0x0001
#define TBS_VERT 0x0002
#define TBS_HORZ 0x0000
#define TBS_TOP 0x0004
#define TBS_BOTTOM 0x0000
#define TBS_LEFT 0x0004
#define TBS_RIGHT 0x0000
#define TBS_BOTH 0x0008
#define TBS_NOTICKS 0x0010
#define TBS_ENABLESELRANGE 0x0020
#define TBS_FIXEDLENGTH 0x0040
#define TBS_NOTHUMB 0x0080

#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_PAGEUP 2
#define TB_PAGEDOWN 3
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_TOP 6
#define TB_BOTTOM 7
#define TB_ENDTRACK 8

// Progress bar styles.
#define PBS_SMOOTH 0x01
#define PBS_VERTICAL 0x04

// Toolbar and command bar: window styles, button states and styles.
#define CCS_TOP 0x00000001L
#define CCS_NOMOVEY 0x00000002L
#define CCS_BOTTOM 0x00000003L
#define CCS_NORESIZE 0x00000004L
#define CCS_NOPARENTALIGN 0x00000008L
#define CCS_ADJUSTABLE 0x00000020L
#define CCS_NODIVIDER 0x00000040L
#define CCS_VERT 0x00000080L

#define TBSTYLE_TOOLTIPS 0x0100
#define TBSTYLE_WRAPABLE 0x0200
#define TBSTYLE_ALTDRAG 0x0400
#define TBSTYLE_FLAT 0x0800
#define TBSTYLE_LIST 0x1000
#define TBSTYLE_CUSTOMERASE 0x2000
#define TBSTYLE_TRANSPARENT 0x8000

#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08
#define TBSTATE_INDETERMINATE 0x10
#define TBSTATE_WRAP 0x20
#define TBSTATE_ELLIPSES 0x40
#define TBSTATE_MARKED 0x80

#define TBSTYLE_BUTTON 0x0000
#define TBSTYLE_SEP 0x0001
#define TBSTYLE_CHECK 0x0002
#define TBSTYLE_GROUP 0x0004
#define TBSTYLE_CHECKGROUP (TBSTYLE_GROUP | TBSTYLE_CHECK)
#define TBSTYLE_DROPDOWN 0x0008
#define TBSTYLE_AUTOSIZE 0x0010
#define TBSTYLE_NOPREFIX 0x0020
#define BTNS_BUTTON TBSTYLE_BUTTON
#define BTNS_SEP TBSTYLE_SEP
#define BTNS_CHECK TBSTYLE_CHECK
#define BTNS_GROUP TBSTYLE_GROUP
#define BTNS_CHECKGROUP TBSTYLE_CHECKGROUP
#define BTNS_DROPDOWN TBSTYLE_DROPDOWN
#define BTNS_AUTOSIZE TBSTYLE_AUTOSIZE
#define BTNS_NOPREFIX TBSTYLE_NOPREFIX

// Tooltip styles.
#define TTS_ALWAYSTIP 0x01
#define TTS_NOPREFIX 0x02

// Tab control styles.
#define TCS_SCROLLOPPOSITE 0x0001
#define TCS_BOTTOM 0x0002
#define TCS_RIGHT 0x0002
#define TCS_MULTISELECT 0x0004
#define TCS_FORCEICONLEFT 0x0010
#define TCS_FORCELABELLEFT 0x0020
#define TCS_HOTTRACK 0x0040
#define TCS_VERTICAL 0x0080
#define TCS_TABS 0x0000
#define TCS_BUTTONS 0x0100
#define TCS_SINGLELINE 0x0000
#define TCS_MULTILINE 0x0200
#define TCS_RIGHTJUSTIFY 0x0000
#define TCS_FIXEDWIDTH 0x0400
#define TCS_RAGGEDRIGHT 0x0800
#define TCS_FOCUSONBUTTONDOWN 0x1000
#define TCS_OWNERDRAWFIXED 0x2000
#define TCS_TOOLTIPS 0x4000
#define TCS_FOCUSNEVER 0x8000

// The property sheet's own controls.
#define ID_APPLY_NOW 0x3021

#ifndef RC_INVOKED
#include <stddef.h>

// ---- Trackbar ----
#define TRACKBAR_CLASSW u"msctls_trackbar32"
#define TRACKBAR_CLASS TRACKBAR_CLASSW

#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_GETTIC (WM_USER + 3)
#define TBM_SETTIC (WM_USER + 4)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETRANGEMIN (WM_USER + 7)
#define TBM_SETRANGEMAX (WM_USER + 8)
#define TBM_CLEARTICS (WM_USER + 9)
#define TBM_SETSEL (WM_USER + 10)
#define TBM_SETSELSTART (WM_USER + 11)
#define TBM_SETSELEND (WM_USER + 12)
#define TBM_GETPTICS (WM_USER + 14)
#define TBM_GETTICPOS (WM_USER + 15)
#define TBM_GETNUMTICS (WM_USER + 16)
#define TBM_GETSELSTART (WM_USER + 17)
#define TBM_GETSELEND (WM_USER + 18)
#define TBM_CLEARSEL (WM_USER + 19)
#define TBM_SETTICFREQ (WM_USER + 20)
#define TBM_SETPAGESIZE (WM_USER + 21)
#define TBM_GETPAGESIZE (WM_USER + 22)
#define TBM_SETLINESIZE (WM_USER + 23)
#define TBM_GETLINESIZE (WM_USER + 24)
#define TBM_GETTHUMBRECT (WM_USER + 25)
#define TBM_GETCHANNELRECT (WM_USER + 26)
#define TBM_SETTHUMBLENGTH (WM_USER + 27)
#define TBM_GETTHUMBLENGTH (WM_USER + 28)

// ---- Progress bar ----
#define PROGRESS_CLASSW u"msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSW

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)
#define PBM_SETBARCOLOR (WM_USER + 9)
#define PBM_SETBKCOLOR 0x2001  // CCM_SETBKCOLOR

typedef struct {
    int iLow;
    int iHigh;
} PBRANGE, *PPBRANGE;

// ---- Toolbar ----
#define TOOLBARCLASSNAMEW u"ToolbarWindow32"
#define TOOLBARCLASSNAME TOOLBARCLASSNAMEW

// Buttons as programs hand them over. iString is an index into the strings
// added with TB_ADDSTRINGW, or a string pointer.
typedef struct _TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    DWORD_PTR dwData;
    INT_PTR iString;
} TBBUTTON, *PTBBUTTON, *LPTBBUTTON;
typedef const TBBUTTON* LPCTBBUTTON;

// A button without an image (a text button, such as a menu bar's menus).
#define I_IMAGENONE (-2)

// TB_ADDBITMAP: a bitmap resource (hInst + id), or with hInst NULL a bitmap
// handle in nID that stays the caller's.
typedef struct tagTBADDBITMAP {
    HINSTANCE hInst;
    UINT_PTR nID;
} TBADDBITMAP, *LPTBADDBITMAP;
#define HINST_COMMCTRL ((HINSTANCE)-1)

#define TBIF_IMAGE 0x00000001
#define TBIF_TEXT 0x00000002
#define TBIF_STATE 0x00000004
#define TBIF_STYLE 0x00000008
#define TBIF_LPARAM 0x00000010
#define TBIF_COMMAND 0x00000020
#define TBIF_SIZE 0x00000040
#define TBIF_BYINDEX 0x80000000

typedef struct {
    UINT cbSize;
    DWORD dwMask;
    int idCommand;
    int iImage;
    BYTE fsState;
    BYTE fsStyle;
    WORD cx;
    DWORD_PTR lParam;
    LPWSTR pszText;
    int cchText;
} TBBUTTONINFOW, *LPTBBUTTONINFOW, TBBUTTONINFO, *LPTBBUTTONINFO;

#define TB_ENABLEBUTTON (WM_USER + 1)
#define TB_CHECKBUTTON (WM_USER + 2)
#define TB_PRESSBUTTON (WM_USER + 3)
#define TB_HIDEBUTTON (WM_USER + 4)
#define TB_INDETERMINATE (WM_USER + 5)
#define TB_ISBUTTONENABLED (WM_USER + 9)
#define TB_ISBUTTONCHECKED (WM_USER + 10)
#define TB_ISBUTTONPRESSED (WM_USER + 11)
#define TB_ISBUTTONHIDDEN (WM_USER + 12)
#define TB_ISBUTTONINDETERMINATE (WM_USER + 13)
#define TB_SETSTATE (WM_USER + 17)
#define TB_GETSTATE (WM_USER + 18)
#define TB_ADDBITMAP (WM_USER + 19)
#define TB_DELETEBUTTON (WM_USER + 22)
#define TB_GETBUTTON (WM_USER + 23)
#define TB_BUTTONCOUNT (WM_USER + 24)
#define TB_COMMANDTOINDEX (WM_USER + 25)
#define TB_GETITEMRECT (WM_USER + 29)
#define TB_BUTTONSTRUCTSIZE (WM_USER + 30)
#define TB_SETBUTTONSIZE (WM_USER + 31)
#define TB_SETBITMAPSIZE (WM_USER + 32)
#define TB_AUTOSIZE (WM_USER + 33)
#define TB_GETTOOLTIPS (WM_USER + 35)
#define TB_SETTOOLTIPS (WM_USER + 36)
#define TB_SETPARENT (WM_USER + 37)
#define TB_SETROWS (WM_USER + 39)
#define TB_GETROWS (WM_USER + 40)
#define TB_GETBITMAPFLAGS (WM_USER + 41)
#define TB_SETCMDID (WM_USER + 42)
#define TB_CHANGEBITMAP (WM_USER + 43)
#define TB_GETBITMAP (WM_USER + 44)
#define TB_SETINDENT (WM_USER + 47)
#define TB_SETIMAGELIST (WM_USER + 48)
#define TB_GETIMAGELIST (WM_USER + 49)
#define TB_GETRECT (WM_USER + 51)
#define TB_SETHOTIMAGELIST (WM_USER + 52)
#define TB_GETHOTIMAGELIST (WM_USER + 53)
#define TB_SETDISABLEDIMAGELIST (WM_USER + 54)
#define TB_GETDISABLEDIMAGELIST (WM_USER + 55)
#define TB_SETSTYLE (WM_USER + 56)
#define TB_GETSTYLE (WM_USER + 57)
#define TB_GETBUTTONSIZE (WM_USER + 58)
#define TB_SETBUTTONWIDTH (WM_USER + 59)
#define TB_GETBUTTONINFOW (WM_USER + 63)
#define TB_SETBUTTONINFOW (WM_USER + 64)
#define TB_INSERTBUTTONW (WM_USER + 67)
#define TB_ADDBUTTONSW (WM_USER + 68)
#define TB_HITTEST (WM_USER + 69)
#define TB_GETBUTTONTEXTW (WM_USER + 75)
#define TB_ADDSTRINGW (WM_USER + 77)
#define TB_ADDBUTTONS TB_ADDBUTTONSW
#define TB_INSERTBUTTON TB_INSERTBUTTONW
#define TB_GETBUTTONINFO TB_GETBUTTONINFOW
#define TB_SETBUTTONINFO TB_SETBUTTONINFOW
#define TB_GETBUTTONTEXT TB_GETBUTTONTEXTW
#define TB_ADDSTRING TB_ADDSTRINGW

// Toolbar notifications (WM_NOTIFY to the parent).
#define TBN_FIRST (0U - 700U)
#define TBN_DROPDOWN (TBN_FIRST - 10)
#define TBDDRET_DEFAULT 0
#define TBDDRET_NODEFAULT 1
#define TBDDRET_TREATPRESSED 2
typedef struct tagNMTOOLBARW {
    NMHDR hdr;
    int iItem;
    TBBUTTON tbButton;
    int cchText;
    LPWSTR pszText;
    RECT rcButton;
} NMTOOLBARW, *LPNMTOOLBARW, NMTOOLBAR, *LPNMTOOLBAR;

// ---- Command bar (a toolbar along the top of its parent) ----
HWND CommandBar_Create(HINSTANCE instance, HWND parent, int id);
BOOL CommandBar_Show(HWND commandBar, BOOL show);
// Adds a strip of images from a bitmap resource; returns the index of its
// first image, or -1.
int CommandBar_AddBitmap(HWND commandBar, HINSTANCE instance, int bitmapId, int imageCount,
                         int imageWidth, int imageHeight);
int CommandBar_Height(HWND commandBar);
BOOL CommandBar_IsVisible(HWND commandBar);
inline BOOL CommandBar_AddButtons(HWND hwnd, UINT count, const TBBUTTON* buttons) {
    return (BOOL)SendMessageW(hwnd, TB_ADDBUTTONSW, (WPARAM)count, (LPARAM)buttons);
}
inline BOOL CommandBar_InsertButton(HWND hwnd, int index, const TBBUTTON* button) {
    return (BOOL)SendMessageW(hwnd, TB_INSERTBUTTONW, (WPARAM)index, (LPARAM)button);
}
// The Windows CE form of TB_SETTOOLTIPS: wParam is the number of strings and
// lParam the array; string n belongs to the n-th button that is not a
// separator. The array is used in place and must outlive the bar.
inline BOOL CommandBar_AddToolTips(HWND hwnd, UINT count, const LPCWSTR* tips) {
    return (BOOL)SendMessageW(hwnd, TB_SETTOOLTIPS, (WPARAM)count, (LPARAM)tips);
}
#define CommandBar_Destroy(hwnd) DestroyWindow(hwnd)

// ---- Tooltips ----
#define TOOLTIPS_CLASSW u"tooltips_class32"
#define TOOLTIPS_CLASS TOOLTIPS_CLASSW

#define LPSTR_TEXTCALLBACKW ((LPWSTR)-1)
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKW

typedef struct tagTOOLINFOW {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;
    LPARAM lParam;
} TOOLINFOW, *PTOOLINFOW, *LPTOOLINFOW, TTTOOLINFOW, TOOLINFO, *LPTOOLINFO;
#define TTTOOLINFOW_V1_SIZE ((UINT)offsetof(TOOLINFOW, lParam))

#define TTF_IDISHWND 0x0001
#define TTF_CENTERTIP 0x0002
#define TTF_RTLREADING 0x0004
#define TTF_SUBCLASS 0x0010
#define TTF_TRACK 0x0020
#define TTF_ABSOLUTE 0x0080
#define TTF_TRANSPARENT 0x0100
#define TTF_DI_SETITEM 0x8000

#define TTDT_AUTOMATIC 0
#define TTDT_RESHOW 1
#define TTDT_AUTOPOP 2
#define TTDT_INITIAL 3

typedef struct _TT_HITTESTINFOW {
    HWND hwnd;
    POINT pt;
    TOOLINFOW ti;
} TTHITTESTINFOW, *LPTTHITTESTINFOW, TTHITTESTINFO, *LPTTHITTESTINFO;

#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_RELAYEVENT (WM_USER + 7)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_WINDOWFROMPOINT (WM_USER + 16)
#define TTM_TRACKACTIVATE (WM_USER + 17)
#define TTM_TRACKPOSITION (WM_USER + 18)
#define TTM_SETTIPBKCOLOR (WM_USER + 19)
#define TTM_SETTIPTEXTCOLOR (WM_USER + 20)
#define TTM_GETDELAYTIME (WM_USER + 21)
#define TTM_GETTIPBKCOLOR (WM_USER + 22)
#define TTM_GETTIPTEXTCOLOR (WM_USER + 23)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_GETMAXTIPWIDTH (WM_USER + 25)
#define TTM_POP (WM_USER + 28)
#define TTM_UPDATE (WM_USER + 29)
#define TTM_ADDTOOLW (WM_USER + 50)
#define TTM_DELTOOLW (WM_USER + 51)
#define TTM_NEWTOOLRECTW (WM_USER + 52)
#define TTM_GETTOOLINFOW (WM_USER + 53)
#define TTM_SETTOOLINFOW (WM_USER + 54)
#define TTM_HITTESTW (WM_USER + 55)
#define TTM_GETTEXTW (WM_USER + 56)
#define TTM_UPDATETIPTEXTW (WM_USER + 57)
#define TTM_ENUMTOOLSW (WM_USER + 58)
#define TTM_GETCURRENTTOOLW (WM_USER + 59)
#define TTM_ADDTOOL TTM_ADDTOOLW
#define TTM_DELTOOL TTM_DELTOOLW
#define TTM_NEWTOOLRECT TTM_NEWTOOLRECTW
#define TTM_GETTOOLINFO TTM_GETTOOLINFOW
#define TTM_SETTOOLINFO TTM_SETTOOLINFOW
#define TTM_HITTEST TTM_HITTESTW
#define TTM_GETTEXT TTM_GETTEXTW
#define TTM_UPDATETIPTEXT TTM_UPDATETIPTEXTW
#define TTM_ENUMTOOLS TTM_ENUMTOOLSW
#define TTM_GETCURRENTTOOL TTM_GETCURRENTTOOLW

// Tooltip notifications, sent to the tool's window with idFrom = the tool's id.
#define TTN_FIRST (0U - 520U)
#define TTN_GETDISPINFOW (TTN_FIRST - 10)
#define TTN_SHOW (TTN_FIRST - 1)
#define TTN_POP (TTN_FIRST - 2)
#define TTN_GETDISPINFO TTN_GETDISPINFOW
#define TTN_NEEDTEXTW TTN_GETDISPINFOW
#define TTN_NEEDTEXT TTN_NEEDTEXTW

typedef struct tagNMTTDISPINFOW {
    NMHDR hdr;
    LPWSTR lpszText;
    WCHAR szText[80];
    HINSTANCE hinst;
    UINT uFlags;
    LPARAM lParam;
} NMTTDISPINFOW, *LPNMTTDISPINFOW, NMTTDISPINFO, *LPNMTTDISPINFO, TOOLTIPTEXTW, *LPTOOLTIPTEXTW,
    TOOLTIPTEXT, *LPTOOLTIPTEXT;

// ---- Tab control ----
#define WC_TABCONTROLW u"SysTabControl32"
#define WC_TABCONTROL WC_TABCONTROLW

#define TCIF_TEXT 0x0001
#define TCIF_IMAGE 0x0002
#define TCIF_RTLREADING 0x0004
#define TCIF_PARAM 0x0008
#define TCIF_STATE 0x0010
#define TCIS_BUTTONPRESSED 0x0001
#define TCIS_HIGHLIGHTED 0x0002

typedef struct tagTCITEMW {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
} TCITEMW, *LPTCITEMW, TCITEM, *LPTCITEM, TC_ITEM;

#define TCHT_NOWHERE 0x0001
#define TCHT_ONITEMICON 0x0002
#define TCHT_ONITEMLABEL 0x0004
#define TCHT_ONITEM (TCHT_ONITEMICON | TCHT_ONITEMLABEL)
typedef struct tagTCHITTESTINFO {
    POINT pt;
    UINT flags;
} TCHITTESTINFO, *LPTCHITTESTINFO, TC_HITTESTINFO;

#define TCM_FIRST 0x1300
#define TCM_GETIMAGELIST (TCM_FIRST + 2)
#define TCM_SETIMAGELIST (TCM_FIRST + 3)
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_DELETEITEM (TCM_FIRST + 8)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9)
#define TCM_GETITEMRECT (TCM_FIRST + 10)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCM_HITTEST (TCM_FIRST + 13)
#define TCM_SETITEMEXTRA (TCM_FIRST + 14)
#define TCM_ADJUSTRECT (TCM_FIRST + 40)
#define TCM_SETITEMSIZE (TCM_FIRST + 41)
#define TCM_SETPADDING (TCM_FIRST + 43)
#define TCM_GETROWCOUNT (TCM_FIRST + 44)
#define TCM_GETCURFOCUS (TCM_FIRST + 47)
#define TCM_SETCURFOCUS (TCM_FIRST + 48)
#define TCM_SETMINTABWIDTH (TCM_FIRST + 49)
#define TCM_GETITEMW (TCM_FIRST + 60)
#define TCM_SETITEMW (TCM_FIRST + 61)
#define TCM_INSERTITEMW (TCM_FIRST + 62)
#define TCM_GETITEM TCM_GETITEMW
#define TCM_SETITEM TCM_SETITEMW
#define TCM_INSERTITEM TCM_INSERTITEMW

#pragma pack(push, 1)
typedef struct tagTCKEYDOWN {
    NMHDR hdr;
    WORD wVKey;
    UINT flags;
} NMTCKEYDOWN;
#pragma pack(pop)

#define TCN_FIRST (0U - 550U)
#define TCN_KEYDOWN (TCN_FIRST - 0)
#define TCN_SELCHANGE (TCN_FIRST - 1)
#define TCN_SELCHANGING (TCN_FIRST - 2)

// The SDK's TabCtrl_ macros, as inline functions so that a call whose
// answer is not wanted compiles without warnings.
inline int TabCtrl_GetItemCount(HWND hwnd) { return (int)SendMessageW(hwnd, TCM_GETITEMCOUNT, 0, 0); }
inline int TabCtrl_InsertItem(HWND hwnd, int i, const TCITEMW* item) {
    return (int)SendMessageW(hwnd, TCM_INSERTITEMW, (WPARAM)i, (LPARAM)item);
}
inline BOOL TabCtrl_DeleteItem(HWND hwnd, int i) { return (BOOL)SendMessageW(hwnd, TCM_DELETEITEM, (WPARAM)i, 0); }
inline int TabCtrl_GetCurSel(HWND hwnd) { return (int)SendMessageW(hwnd, TCM_GETCURSEL, 0, 0); }
inline int TabCtrl_SetCurSel(HWND hwnd, int i) { return (int)SendMessageW(hwnd, TCM_SETCURSEL, (WPARAM)i, 0); }
inline void TabCtrl_AdjustRect(HWND hwnd, BOOL larger, RECT* rect) {
    SendMessageW(hwnd, TCM_ADJUSTRECT, (WPARAM)larger, (LPARAM)rect);
}
inline BOOL TabCtrl_GetItemRect(HWND hwnd, int i, RECT* rect) {
    return (BOOL)SendMessageW(hwnd, TCM_GETITEMRECT, (WPARAM)i, (LPARAM)rect);
}

// ---- Property sheet ----
#include "prsht.h"

#endif  // RC_INVOKED
// (end of trackbar, progress bar, toolbar, tab, property sheet)

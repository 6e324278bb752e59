// What the input script's "windows" command lists of a dialog, one line per window, and the
// checks that compare a list made at some density with the one made at 96 dpi.
//
//   dialog NAME dpi D client W H scrollbar S
//   window NAME parent PARENT class CLASS rect L T R B font F extent CX CY text "TEXT"
//
// Rectangles are in the parent's client coordinates; unnamed windows are PARENT#N, their
// number among their parent's unnamed children. F is the font's height (negative for the
// character height), CX x CY the text's extent in that font; S the system's scroll bar
// thickness at the window's density.
#pragma once
#include <string>
#include <vector>

struct ListedWindow {
    std::string Name, Parent, Class, Text;
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int FontHeight = 0, TextWidth = 0, TextHeight = 0;
};

struct WindowList {
    std::string Dialog;
    int Dpi = 96, ClientWidth = 0, ClientHeight = 0, ScrollBar = 0;
    std::vector<ListedWindow> Windows;
};

std::string FormatWindowList(const WindowList& List);
// False with Error naming the first line it could not read.
bool ParseWindowList(const std::string& Text, WindowList& List, std::string& Error);

// Checks List (made at List.Dpi) against Base (the same dialog at 96 dpi): the client area and
// every window's edges within a pixel of Base's scaled, fonts scaled, no text wider than its
// window, and the unnamed children of a window that has both (the view's scroll bars) as
// thick as the scroll bar metric. Windows named in Own keep their own size (only their
// position is checked), as do labels (sized by their text) and drop-down lists' heights (the
// system's); Report holds one line per fault, or a summary when there is none.
bool CheckScaledLayout(const WindowList& Base, const WindowList& List, const std::vector<std::string>& Own,
                       std::vector<std::string>& Report);

#pragma once

class QTabWidget;

// The width a tab control needs so that every page gets at least the width
// its size hint asks for, at the current font and texts. A page that scrolls
// (a scroll area, or a page holding one) counts its content's hint and the
// vertical scroll bar it shows when the window is short, so it never has to
// scroll sideways.
int TabPagesWidth(const QTabWidget &tabs);

#include "window_list.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// MulDiv's rounding: to nearest, halves away from zero.
int ScaleFrom96(int Value, int Dpi) {
    const long long n = static_cast<long long>(Value) * Dpi;
    return static_cast<int>(n >= 0 ? (n + 48) / 96 : -((-n + 48) / 96));
}

std::string Quoted(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') q += '\\';
        q += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return q + "\"";
}

bool Unquote(const std::string& s, std::string& out) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
    out.clear();
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == '\\' && i + 2 < s.size()) ++i;
        out += s[i];
    }
    return true;
}

bool Near(int Got, int At96, int Dpi) { return std::abs(Got - ScaleFrom96(At96, Dpi)) <= 1; }

}  // namespace

std::string FormatWindowList(const WindowList& L) {
    std::ostringstream o;
    o << "dialog " << L.Dialog << " dpi " << L.Dpi << " client " << L.ClientWidth << ' ' << L.ClientHeight
      << " scrollbar " << L.ScrollBar << '\n';
    for (const ListedWindow& w : L.Windows)
        o << "window " << w.Name << " parent " << w.Parent << " class " << w.Class << " rect " << w.Left << ' '
          << w.Top << ' ' << w.Right << ' ' << w.Bottom << " font " << w.FontHeight << " extent " << w.TextWidth << ' '
          << w.TextHeight << " text " << Quoted(w.Text) << '\n';
    return o.str();
}

bool ParseWindowList(const std::string& Text, WindowList& L, std::string& Error) {
    L = WindowList{};
    std::istringstream all(Text);
    std::string line;
    int number = 0;
    bool dialog = false;
    while (std::getline(all, line)) {
        ++number;
        if (line.empty()) continue;
        std::istringstream in(line);
        std::string kind, k1, k2, k3, k4;
        in >> kind;
        bool ok = false;
        if (kind == "dialog" && !dialog) {
            ok = static_cast<bool>(in >> L.Dialog >> k1 >> L.Dpi >> k2 >> L.ClientWidth >> L.ClientHeight >> k3 >>
                                   L.ScrollBar) &&
                 k1 == "dpi" && k2 == "client" && k3 == "scrollbar" && L.Dpi > 0;
            dialog = ok;
        } else if (kind == "window" && dialog) {
            ListedWindow w;
            std::string k5, k6, k7;
            ok = static_cast<bool>(in >> w.Name >> k1 >> w.Parent >> k2 >> w.Class >> k3 >> w.Left >> w.Top >>
                                   w.Right >> w.Bottom >> k4 >> w.FontHeight >> k5 >> w.TextWidth >> w.TextHeight >>
                                   k6) &&
                 k1 == "parent" && k2 == "class" && k3 == "rect" && k4 == "font" && k5 == "extent" && k6 == "text";
            std::string rest;
            std::getline(in, rest);
            const auto b = rest.find_first_not_of(' ');
            ok = ok && b != std::string::npos && Unquote(rest.substr(b), w.Text);
            if (ok) L.Windows.push_back(std::move(w));
        }
        if (!ok) {
            Error = "line " + std::to_string(number) + " cannot be read: " + line;
            return false;
        }
    }
    if (!dialog) {
        Error = "no dialog line";
        return false;
    }
    return true;
}

bool CheckScaledLayout(const WindowList& Base, const WindowList& L, const std::vector<std::string>& Own,
                       std::vector<std::string>& Report) {
    Report.clear();
    const int dpi = L.Dpi;
    auto fault = [&Report](const std::string& s) { Report.push_back(s); };
    if (Base.Dpi != 96) fault("the base list is made at " + std::to_string(Base.Dpi) + " dpi, not 96");
    if (Base.Dialog != L.Dialog) fault("the lists are of " + Base.Dialog + " and " + L.Dialog);
    if (!Near(L.ClientWidth, Base.ClientWidth, dpi) || !Near(L.ClientHeight, Base.ClientHeight, dpi))
        fault("client area " + std::to_string(L.ClientWidth) + " x " + std::to_string(L.ClientHeight) + ", scaled " +
              std::to_string(ScaleFrom96(Base.ClientWidth, dpi)) + " x " +
              std::to_string(ScaleFrom96(Base.ClientHeight, dpi)));
    std::map<std::string, const ListedWindow*> base;
    for (const ListedWindow& w : Base.Windows) base[w.Name] = &w;
    std::map<std::string, bool> hasNamed;
    for (const ListedWindow& w : L.Windows)
        if (w.Name.find('#') == std::string::npos) hasNamed[w.Parent] = true;
    int checked = 0, bars = 0;
    for (const ListedWindow& w : L.Windows) {
        const std::string& n = w.Name;
        const int width = w.Right - w.Left, height = w.Bottom - w.Top;
        if (!w.Text.empty() && w.TextWidth > width)
            fault(n + ": text \"" + w.Text + "\" is " + std::to_string(w.TextWidth) + " wide in a window of " +
                  std::to_string(width));
        if (n.find('#') != std::string::npos) {
            // Unnamed children beside named ones are the parts a widget makes itself: the
            // image view's scroll bars, as thick as the system's at this density.
            if (hasNamed.count(w.Parent)) continue;
            ++bars;
            // The vertical bar stands at the top of the right edge, the horizontal one at the
            // left of the bottom edge.
            const int thick = w.Top == 0 && w.Left > 0 ? width : height;
            if (thick != L.ScrollBar)
                fault(n + ": a bar " + std::to_string(thick) + " thick, the metric is " + std::to_string(L.ScrollBar));
            continue;
        }
        auto it = base.find(n);
        if (it == base.end()) {
            fault(n + ": not in the 96-dpi list");
            continue;
        }
        const ListedWindow& b = *it->second;
        ++checked;
        if (w.FontHeight != ScaleFrom96(b.FontHeight, dpi))
            fault(n + ": font height " + std::to_string(w.FontHeight) + ", scaled " +
                  std::to_string(ScaleFrom96(b.FontHeight, dpi)));
        const bool own = std::find(Own.begin(), Own.end(), n) != Own.end();
        // A label's size is its caption's in the scaled font, and the system makes a drop-down
        // list as high as its font needs: their places scale, and the list's width.
        const bool sizedByText = w.Class == "label";
        bool near = Near(w.Left, b.Left, dpi) && Near(w.Top, b.Top, dpi);
        if (!own && !sizedByText)
            near = near && Near(w.Right, b.Right, dpi) && (w.Class == "combobox" || Near(w.Bottom, b.Bottom, dpi));
        if (!near)
            fault(n + ": rect " + std::to_string(w.Left) + " " + std::to_string(w.Top) + " " +
                  std::to_string(w.Right) + " " + std::to_string(w.Bottom) + ", scaled " +
                  std::to_string(ScaleFrom96(b.Left, dpi)) + " " + std::to_string(ScaleFrom96(b.Top, dpi)) + " " +
                  std::to_string(ScaleFrom96(b.Right, dpi)) + " " + std::to_string(ScaleFrom96(b.Bottom, dpi)));
    }
    for (const ListedWindow& b : Base.Windows)
        if (b.Name.find('#') == std::string::npos &&
            std::none_of(L.Windows.begin(), L.Windows.end(), [&b](const ListedWindow& w) { return w.Name == b.Name; }))
            fault(b.Name + ": missing at " + std::to_string(dpi) + " dpi");
    if (!Report.empty()) return false;
    Report.push_back(std::to_string(checked) + " windows within a pixel of their 96-dpi place scaled, " +
                     std::to_string(bars) + " bars as thick as the metric, every text fits");
    return true;
}

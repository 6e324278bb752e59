#include "host/pipl_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

struct Reader {
    const std::vector<std::uint8_t>& B;
    bool Has(std::uint64_t Offset, std::uint64_t Count) const {
        return Offset <= B.size() && Count <= B.size() - Offset;
    }
    bool U16(std::uint64_t Offset, std::uint16_t& v) const {
        if (!Has(Offset, 2)) return false;
        v = static_cast<std::uint16_t>(B[Offset] | (B[Offset + 1] << 8));
        return true;
    }
    bool U32(std::uint64_t Offset, std::uint32_t& v) const {
        if (!Has(Offset, 4)) return false;
        v = static_cast<std::uint32_t>(B[Offset]) | (static_cast<std::uint32_t>(B[Offset + 1]) << 8) |
            (static_cast<std::uint32_t>(B[Offset + 2]) << 16) |
            (static_cast<std::uint32_t>(B[Offset + 3]) << 24);
        return true;
    }
};

struct Section {
    std::uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset;
};

struct PeImage {
    std::vector<Section> Sections;
    std::uint32_t ResourceRva = 0, ResourceSize = 0;
    std::uint16_t Machine = 0;
};

bool ParseHeaders(const Reader& r, PeImage& pe, std::string& error) {
    std::uint16_t mz;
    std::uint32_t peOffset, signature;
    if (!r.U16(0, mz) || mz != 0x5A4D) return error = "not an MZ executable", false;
    if (!r.U32(0x3C, peOffset) || !r.U32(peOffset, signature) || signature != 0x00004550)
        return error = "no PE signature", false;
    std::uint64_t coff = std::uint64_t(peOffset) + 4;
    std::uint16_t sections, optSize, magic;
    if (!r.U16(coff, pe.Machine) || !r.U16(coff + 2, sections) || !r.U16(coff + 16, optSize))
        return error = "truncated file header", false;
    std::uint64_t opt = coff + 20;
    if (!r.U16(opt, magic)) return error = "truncated optional header", false;
    std::uint64_t countAt, dirsAt;
    if (magic == 0x10B) {
        countAt = opt + 92;
        dirsAt = opt + 96;
    } else if (magic == 0x20B) {
        countAt = opt + 108;
        dirsAt = opt + 112;
    } else {
        return error = "unknown optional header", false;
    }
    std::uint32_t dirCount;
    if (!r.U32(countAt, dirCount)) return error = "truncated optional header", false;
    if (dirCount > 2 && dirsAt + 24 <= opt + optSize) {
        if (!r.U32(dirsAt + 16, pe.ResourceRva) || !r.U32(dirsAt + 20, pe.ResourceSize))
            return error = "truncated data directories", false;
    }
    std::uint64_t table = opt + optSize;
    for (std::uint16_t i = 0; i < sections; ++i) {
        std::uint64_t s = table + std::uint64_t(i) * 40;
        Section sec{};
        if (!r.U32(s + 8, sec.VirtualSize) || !r.U32(s + 12, sec.VirtualAddress) ||
            !r.U32(s + 16, sec.RawSize) || !r.U32(s + 20, sec.RawOffset))
            return error = "truncated section table", false;
        pe.Sections.push_back(sec);
    }
    return true;
}

// File offset of an RVA range that lies wholly in the raw data of one section.
bool RvaToOffset(const PeImage& pe, std::uint32_t rva, std::uint32_t size, std::uint64_t& out) {
    for (const Section& s : pe.Sections) {
        if (rva >= s.VirtualAddress && std::uint64_t(rva) - s.VirtualAddress < s.RawSize &&
            std::uint64_t(rva) - s.VirtualAddress + size <= s.RawSize) {
            out = std::uint64_t(s.RawOffset) + (rva - s.VirtualAddress);
            return true;
        }
    }
    return false;
}

struct DirEntry {
    bool Named;
    std::string Name;
    std::uint16_t Id;
    bool IsDirectory;
    std::uint32_t Offset;  // relative to the resource section's start
};

bool ReadDirectory(const Reader& r, std::uint64_t base, std::uint64_t limit, std::uint32_t at,
                   std::vector<DirEntry>& out) {
    std::uint16_t named, ids;
    if (at > limit || !r.U16(base + at + 12, named) || !r.U16(base + at + 14, ids)) return false;
    for (std::uint32_t i = 0; i < std::uint32_t(named) + ids; ++i) {
        std::uint64_t e = base + at + 16 + std::uint64_t(i) * 8;
        std::uint32_t name, data;
        if (!r.U32(e, name) || !r.U32(e + 4, data)) return false;
        DirEntry d{};
        d.Named = (name & 0x80000000u) != 0;
        d.IsDirectory = (data & 0x80000000u) != 0;
        d.Offset = data & 0x7FFFFFFFu;
        if (d.Named) {
            std::uint64_t s = base + (name & 0x7FFFFFFFu);
            std::uint16_t len;
            if (!r.U16(s, len)) return false;
            for (std::uint16_t k = 0; k < len; ++k) {
                std::uint16_t ch;
                if (!r.U16(s + 2 + 2 * std::uint64_t(k), ch)) return false;
                d.Name += ch < 0x80 ? static_cast<char>(ch) : '?';
            }
        } else {
            d.Id = static_cast<std::uint16_t>(name & 0xFFFF);
        }
        out.push_back(d);
    }
    return true;
}

std::string FourCC(const std::vector<std::uint8_t>& b, std::size_t at) {
    // Stored as a little-endian integer whose high byte is the first character.
    return std::string{char(b[at + 3]), char(b[at + 2]), char(b[at + 1]), char(b[at])};
}

}  // namespace

std::uint16_t PeMachine(const std::vector<std::uint8_t>& File) {
    PeImage pe;
    std::string error;
    return ParseHeaders(Reader{File}, pe, error) ? pe.Machine : 0;
}

namespace {

// The type is a name (TypeName) or, when TypeName is empty, a number (TypeId).
bool FindResourceOf(const std::vector<std::uint8_t>& File, const std::string& TypeName,
                    std::uint16_t TypeId, std::uint16_t Id, PeResource& Out, std::string& Error) {
    Reader r{File};
    PeImage pe;
    if (!ParseHeaders(r, pe, Error)) return false;
    if (pe.ResourceRva == 0) return Error = "no resources", false;
    std::uint64_t base;
    if (!RvaToOffset(pe, pe.ResourceRva, 16, base)) return Error = "resource directory outside the file", false;
    std::uint64_t limit = pe.ResourceSize;

    std::vector<DirEntry> types;
    if (!ReadDirectory(r, base, limit, 0, types)) return Error = "damaged resource directory", false;
    for (const DirEntry& t : types) {
        bool match = TypeName.empty() ? !t.Named && t.Id == TypeId : t.Named && t.Name == TypeName;
        if (!match || !t.IsDirectory) continue;
        std::vector<DirEntry> names;
        if (!ReadDirectory(r, base, limit, t.Offset, names)) return Error = "damaged resource directory", false;
        for (const DirEntry& n : names) {
            if (n.Named || (Id != 0 && n.Id != Id) || !n.IsDirectory) continue;
            std::vector<DirEntry> langs;
            if (!ReadDirectory(r, base, limit, n.Offset, langs) || langs.empty() ||
                langs[0].IsDirectory)
                return Error = "damaged resource directory", false;
            std::uint32_t rva, size;
            std::uint64_t data;
            if (!r.U32(base + langs[0].Offset, rva) || !r.U32(base + langs[0].Offset + 4, size) ||
                !RvaToOffset(pe, rva, size, data) || data + size > File.size())
                // A section may claim more raw data than a cut-off file still holds.
                return Error = "resource data outside the file", false;
            Out.Bytes.assign(File.begin() + static_cast<std::ptrdiff_t>(data),
                             File.begin() + static_cast<std::ptrdiff_t>(data + size));
            Out.Language = langs[0].Id;
            return true;
        }
    }
    std::string type = TypeName.empty() ? "type " + std::to_string(TypeId) : TypeName;
    return Error = "no " + type + " resource " + std::to_string(Id), false;
}

}  // namespace

bool FindPeResource(const std::vector<std::uint8_t>& File, const std::string& Type,
                    std::uint16_t Id, PeResource& Out, std::string& Error) {
    return FindResourceOf(File, Type, 0, Id, Out, Error);
}

bool FindPeResource(const std::vector<std::uint8_t>& File, std::uint16_t TypeId,
                    std::uint16_t Id, PeResource& Out, std::string& Error) {
    return FindResourceOf(File, std::string(), TypeId, Id, Out, Error);
}

bool ParsePipl(const std::vector<std::uint8_t>& Bytes, PiplInfo& Out, std::string& Error) {
    Reader r{Bytes};
    std::uint16_t preamble;
    std::uint32_t version, count;
    if (!r.U16(0, preamble) || !r.U32(2, version) || !r.U32(6, count))
        return Error = "property list too short", false;
    if (preamble != 1 || version != 0) return Error = "unknown property list version", false;
    std::uint64_t at = 10;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t id, length;
        if (!r.Has(at, 16) || !r.U32(at + 8, id) || !r.U32(at + 12, length) ||
            !r.Has(at + 16, length))
            return Error = "property " + std::to_string(i) + " runs past the end", false;
        PiplProperty p;
        p.Vendor = FourCC(Bytes, at);
        p.Key = FourCC(Bytes, at + 4);
        p.Id = id;
        p.Data.assign(Bytes.begin() + static_cast<std::ptrdiff_t>(at + 16),
                      Bytes.begin() + static_cast<std::ptrdiff_t>(at + 16 + length));
        at += 16 + std::uint64_t(length);
        Out.Properties.push_back(std::move(p));
    }
    auto pascal = [](const std::vector<std::uint8_t>& d) {
        if (d.empty()) return std::string();
        std::size_t n = std::min<std::size_t>(d[0], d.size() - 1);
        std::string s(d.begin() + 1, d.begin() + 1 + static_cast<std::ptrdiff_t>(n));
        // The length byte counts the terminating zero.
        while (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    };
    auto cstring = [](const std::vector<std::uint8_t>& d) {
        std::string s;
        for (std::uint8_t c : d) {
            if (!c) break;
            s += static_cast<char>(c);
        }
        return s;
    };
    for (const PiplProperty& p : Out.Properties) {
        if (p.Vendor != "8BIM") continue;
        if (p.Key == "kind" && p.Data.size() >= 4) Out.Kind = FourCC(p.Data, 0);
        if (p.Key == "name") Out.Name = pascal(p.Data);
        if (p.Key == "catg") Out.Category = pascal(p.Data);
        if (p.Key == "vers") {
            std::uint32_t v;
            if (Reader{p.Data}.U32(0, v)) Out.Version = v;
        }
        if (p.Key == "wx86" || p.Key == "8664") {
            Out.EntryPoint = cstring(p.Data);
            Out.EntryKey = p.Key;
        }
    }
    return true;
}

namespace {

// One block of a version resource: length, value length, type (1: text), a zero-terminated
// UTF-16 key, the value and the child blocks, each start 32-bit aligned.
struct VersionBlock {
    std::string Key;
    std::uint64_t Value = 0, ValueSize = 0;  // offsets into the resource
    std::uint64_t Children = 0, End = 0;
    bool Text = false;
};

std::uint64_t Align4(std::uint64_t v) { return (v + 3) & ~std::uint64_t(3); }

void AppendUtf8(std::string& s, std::uint16_t ch) {
    if (ch < 0x80) {
        s += static_cast<char>(ch);
    } else if (ch < 0x800) {
        s += static_cast<char>(0xC0 | (ch >> 6));
        s += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (ch >> 12));
        s += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

// UTF-16 text from At up to a zero or Limit; Next is the offset after the zero.
bool ReadText(const Reader& r, std::uint64_t At, std::uint64_t Limit, std::string& Out,
              std::uint64_t* Next) {
    Out.clear();
    for (std::uint64_t p = At; p + 2 <= Limit; p += 2) {
        std::uint16_t ch;
        if (!r.U16(p, ch)) return false;
        if (ch == 0) {
            if (Next) *Next = p + 2;
            return true;
        }
        AppendUtf8(Out, ch);
    }
    if (Next) return false;  // a key must be terminated inside its block
    return true;             // a value may fill its space exactly
}

bool ReadBlock(const Reader& r, std::uint64_t At, std::uint64_t Limit, VersionBlock& b,
               std::string& Error) {
    std::uint16_t length, valueLength, type;
    if (!r.U16(At, length) || !r.U16(At + 2, valueLength) || !r.U16(At + 4, type))
        return Error = "version block header runs past the end", false;
    if (length < 6 || At + length > Limit)
        return Error = "version block runs past its parent", false;
    b.End = At + length;
    b.Text = type == 1;
    std::uint64_t afterKey;
    if (!ReadText(r, At + 6, b.End, b.Key, &afterKey))
        return Error = "version block key runs past its block", false;
    b.Value = Align4(afterKey);
    b.ValueSize = b.Text ? std::uint64_t(valueLength) * 2 : valueLength;
    if (b.ValueSize > 0 && b.Value + b.ValueSize > b.End)
        return Error = "value of version block \"" + b.Key + "\" runs past its block", false;
    b.Children = std::min(Align4(b.Value + b.ValueSize), b.End);
    return true;
}

// Calls Visit for each child block of Parent; stops at the first error.
template <typename F>
bool ForEachChild(const Reader& r, const VersionBlock& Parent, std::string& Error, F Visit) {
    for (std::uint64_t at = Parent.Children; at + 6 <= Parent.End;) {
        VersionBlock child;
        if (!ReadBlock(r, at, Parent.End, child, Error) || !Visit(child)) return false;
        at = Align4(child.End);
    }
    return true;
}

}  // namespace

std::string VersionInfo::Get(const std::string& Name) const {
    for (const auto& [key, value] : Strings)
        if (key == Name) return value;
    return std::string();
}

bool ParseVersionInfo(const std::vector<std::uint8_t>& Bytes, VersionInfo& Out, std::string& Error) {
    Reader r{Bytes};
    VersionBlock root;
    if (!ReadBlock(r, 0, Bytes.size(), root, Error)) return false;
    if (root.Key != "VS_VERSION_INFO") return Error = "no VS_VERSION_INFO block", false;
    std::uint32_t signature = 0;
    if (root.ValueSize < 52 || !r.U32(root.Value, signature) || signature != 0xFEEF04BDu)
        return Error = "no fixed file information", false;
    r.U32(root.Value + 8, Out.FileVersionHigh);
    r.U32(root.Value + 12, Out.FileVersionLow);
    r.U32(root.Value + 16, Out.ProductVersionHigh);
    r.U32(root.Value + 20, Out.ProductVersionLow);
    r.U32(root.Value + 28, Out.FileFlags);
    r.U32(root.Value + 32, Out.FileOs);
    r.U32(root.Value + 36, Out.FileType);

    bool haveTable = false;
    bool ok = ForEachChild(r, root, Error, [&](const VersionBlock& part) {
        if (part.Key == "StringFileInfo") {
            return ForEachChild(r, part, Error, [&](const VersionBlock& table) {
                if (haveTable) return true;  // Windows shows the first table
                haveTable = true;
                Out.StringTable = table.Key;
                return ForEachChild(r, table, Error, [&](const VersionBlock& str) {
                    std::string value;
                    if (!ReadText(r, str.Value, str.Value + str.ValueSize, value, nullptr))
                        return Error = "damaged string \"" + str.Key + "\"", false;
                    Out.Strings.emplace_back(str.Key, value);
                    return true;
                });
            });
        }
        if (part.Key == "VarFileInfo") {
            return ForEachChild(r, part, Error, [&](const VersionBlock& var) {
                if (var.Key != "Translation") return true;
                for (std::uint64_t p = var.Value; p + 4 <= var.Value + var.ValueSize; p += 4) {
                    std::uint16_t language = 0, codePage = 0;
                    r.U16(p, language);
                    r.U16(p + 2, codePage);
                    Out.Translations.push_back(language | (std::uint32_t(codePage) << 16));
                }
                return true;
            });
        }
        return true;
    });
    if (!ok) return false;
    if (!haveTable) return Error = "no string table", false;
    return true;
}

bool ReadWholeFile(const std::string& Path, std::vector<std::uint8_t>& Out) {
    std::ifstream in(Path, std::ios::binary);
    if (!in) return false;
    Out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

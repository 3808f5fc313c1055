#include "BridgeInternal.h"

#include <mp4item.h>
#include <mp4itemfactory.h>
#include <mp4tag.h>
#include <tfile.h>

#include <algorithm>
#include <random>

namespace ctaglib {
namespace {

using TagLib::ByteVector;
using TagLib::offset_t;

constexpr unsigned int atomHeaderSize = 8;
// The placeholder is one title item; its text starts behind the headers of
// the item list, the item and its data atom (with type and locale).
const char* const placeholderItem = "\251nam";
constexpr offset_t placeholderTextOffset = 8 + 8 + 16;

struct Atom {
    offset_t offset = 0;
    offset_t size = 0;   // header included
    offset_t header = 0; // 8, or 16 with a 64-bit size
};

// The atom at pos, within a parent that ends at end; nothing when its size
// does not fit.
std::optional<Atom> atomAt(TagLib::File& file, offset_t pos, offset_t end, ByteVector* name = nullptr) {
    file.seek(pos);
    const ByteVector header = file.readBlock(atomHeaderSize);
    if (header.size() < atomHeaderSize)
        return std::nullopt;
    Atom atom{pos, header.toUInt(0U, true), atomHeaderSize};
    if (atom.size == 1) {
        atom.size = file.readBlock(8).toLongLong(true);
        atom.header = 16;
    } else if (atom.size == 0) {
        atom.size = end - pos; // up to the end of its parent
    }
    if (atom.size < atom.header || atom.size > end - pos)
        return std::nullopt;
    if (name)
        *name = header.mid(4);
    return atom;
}

// The first atom of the name among the atoms from begin to end; nothing when
// there is none or the atoms there cannot be walked.
std::optional<Atom> findAtom(TagLib::File& file, offset_t begin, offset_t end, const char* name) {
    for (offset_t pos = begin; end - pos >= atomHeaderSize;) {
        ByteVector found;
        const std::optional<Atom> atom = atomAt(file, pos, end, &found);
        if (!atom)
            return std::nullopt;
        if (found == name)
            return atom;
        pos += atom->size;
    }
    return std::nullopt;
}

ByteVector newMarker() {
    static const char digits[] = "0123456789abcdef";
    std::random_device random;
    ByteVector marker;
    for (int i = 0; i < 24; ++i)
        marker.append(digits[random() % 16]);
    return marker;
}

ByteVector renderAtom(const char* name, const ByteVector& content) {
    ByteVector atom = ByteVector::fromUInt(content.size() + atomHeaderSize, true);
    atom.append(name);
    atom.append(content);
    return atom;
}

// The item's name as TagLib's item list has it: the atom's name, and for a
// free-form atom "----:" with its "mean" and "name" children.
std::string itemName(const ByteVector& atom) {
    const ByteVector name = atom.mid(4, 4);
    if (name != "----")
        return std::string(name.data(), name.size());
    TagLib::String mean;
    TagLib::String own;
    for (unsigned int pos = atomHeaderSize; atom.size() - pos >= 12;) {
        const unsigned int size = atom.toUInt(pos, true);
        if (size < 12 || size > atom.size() - pos)
            break;
        const ByteVector child = atom.mid(pos + 4, 4);
        const TagLib::String text(atom.mid(pos + 12, size - 12), TagLib::String::UTF8);
        if (child == "mean")
            mean = text;
        else if (child == "name")
            own = text;
        pos += size;
    }
    return ("----:" + mean + ":" + own).to8Bit(false);
}

} // namespace

std::optional<Mp4Rewrite> Mp4Rewrite::begin(TagLib::File& file) {
    const std::optional<Atom> moov = findAtom(file, 0, file.length(), "moov");
    if (!moov)
        return std::nullopt;
    Mp4Rewrite rewrite;
    const auto inside = [&](const Atom& parent, const char* name, offset_t skip = 0) {
        return findAtom(file, parent.offset + parent.header + skip, parent.offset + parent.size, name);
    };
    std::optional<Atom> ilst;
    if (const std::optional<Atom> udta = inside(*moov, "udta")) {
        if (const std::optional<Atom> meta = inside(*udta, "meta"))
            ilst = inside(*meta, "ilst", 4); // behind the version and flags
    }
    if (!ilst)
        return rewrite; // TagLib adds the item list
    const offset_t end = ilst->offset + ilst->size;
    for (offset_t pos = ilst->offset + ilst->header; pos < end;) {
        const std::optional<Atom> item = atomAt(file, pos, end);
        if (!item)
            return std::nullopt;
        file.seek(item->offset);
        rewrite.m_stored.push_back(file.readBlock(static_cast<size_t>(item->size)));
        pos += item->size;
    }
    return rewrite;
}

void Mp4Rewrite::stage(TagLib::MP4::Tag& tag, const std::vector<std::string>& names) {
    std::vector<std::string> changed;
    for (const std::string& name : names) {
        if (std::find(changed.begin(), changed.end(), name) == changed.end())
            changed.push_back(name);
    }
    const TagLib::MP4::ItemFactory& factory = *TagLib::MP4::ItemFactory::instance();
    const auto rendered = [&](const std::string& name) {
        const TagLib::String key(name, TagLib::String::Latin1);
        return tag.contains(key) ? factory.renderItem(key, tag.item(key)) : ByteVector();
    };
    // A changed item takes the place of its first stored atom; a new one goes last.
    ByteVector content;
    std::vector<bool> placed(changed.size(), false);
    for (const ByteVector& atom : m_stored) {
        const auto it = std::find(changed.begin(), changed.end(), itemName(atom));
        if (it == changed.end()) {
            content.append(atom);
        } else if (!placed[static_cast<size_t>(it - changed.begin())]) {
            placed[static_cast<size_t>(it - changed.begin())] = true;
            content.append(rendered(*it));
        }
    }
    for (size_t i = 0; i < changed.size(); ++i) {
        if (!placed[i])
            content.append(rendered(changed[i]));
    }

    // The placeholder item must be as large as the final items; when they are
    // smaller, TagLib renders its own items (it has them all).
    const ByteVector marker = newMarker();
    const unsigned int smallest =
        factory.renderItem(placeholderItem, TagLib::StringList(TagLib::String(marker))).size();
    if (content.size() < smallest)
        return;
    TagLib::String text(marker);
    text += TagLib::String(std::string(content.size() - smallest, 'x'));
    const TagLib::MP4::Item placeholder{TagLib::StringList(text)};
    if (factory.renderItem(placeholderItem, placeholder).size() != content.size())
        return;
    while (!tag.itemMap().isEmpty())
        tag.removeItem(tag.itemMap().begin()->first);
    tag.setItem(placeholderItem, placeholder);
    m_final = renderAtom("ilst", content);
    m_marker = marker;
}

bool Mp4Rewrite::finish(TagLib::File& file) {
    if (m_final.isEmpty())
        return true;
    const offset_t at = file.find(m_marker) - placeholderTextOffset;
    if (at < 0)
        return false;
    file.seek(at);
    const ByteVector header = file.readBlock(atomHeaderSize);
    if (header.toUInt(0U, true) != m_final.size() || !header.containsAt("ilst", 4))
        return false;
    file.seek(at);
    file.writeBlock(m_final);
    return true;
}

} // namespace ctaglib

// Custom items: the text items of a main tag other than the fields, named by
// TagLib's unified property names, so that one name reaches the same item in
// every format (CATALOGNUMBER: TXXX "CATALOGNUMBER", the Vorbis comment's
// CATALOGNUMBER, "----:com.apple.iTunes:CATALOGNUMBER").
#include "BridgeInternal.h"

#include <commentsframe.h>
#include <id3v2framefactory.h>
#include <id3v2header.h>
#include <id3v2tag.h>
#include <mp4itemfactory.h>
#include <mp4tag.h>
#include <textidentificationframe.h>
#include <tpropertymap.h>
#include <unsynchronizedlyricsframe.h>
#include <xiphcomment.h>

#include <algorithm>
#include <array>
#include <memory>

namespace ctaglib {
namespace {

using TagLib::ByteVector;
using TagLib::String;
using TagLib::StringList;
namespace ID3v2 = TagLib::ID3v2;

// The property names TagLib 2.0 gives the items the fields are read from and
// written to, in every format.
constexpr std::array commonFieldKeys{"TITLE",   "ARTIST", "ALBUM",       "ALBUMARTIST", "COMPOSER",
                                     "GENRE",   "DATE",   "TRACKNUMBER", "DISCNUMBER",  "BPM",
                                     "COMMENT", "LYRICS", "COMPILATION"};
// ID3v2 keeps the grouping in "TIT1", which TagLib calls WORK ("GRP1" is its
// GROUPING and a custom item here), and the lyrics in every "USLT" frame.
constexpr std::array id3v2FieldKeys{"WORK"};
// What TagLib's generic accessors of a Vorbis comment read and write beside
// the keys of the fields, and the picture fields.
constexpr std::array xiphFieldKeys{
    "GROUPING",   "YEAR",        "TRACKNUM", "TRACKTOTAL",   "TOTALTRACKS",           "DISCTOTAL",
    "TOTALDISCS", "DESCRIPTION", "COVERART", "COVERARTMIME", "METADATA_BLOCK_PICTURE"};
constexpr std::array mp4FieldKeys{"GROUPING"};

template <size_t N> bool contains(const std::array<const char*, N>& keys, const String& key) {
    return std::any_of(keys.begin(), keys.end(), [&key](const char* k) { return key == k; });
}

// ID3v2.3 has no several values in one frame; these frames take them joined
// with "/", as the version says, and every other frame one text.
constexpr std::array slashSeparatedFrames{"TPE1", "TCOM", "TEXT", "TOLY", "TOPE"};

std::unique_ptr<ID3v2::Frame> parseFrame(const ByteVector& frame, int version) {
    ID3v2::Header header;
    header.setMajorVersion(static_cast<unsigned int>(version));
    return std::unique_ptr<ID3v2::Frame>(ID3v2::FrameFactory::instance()->createFrame(frame, &header));
}

// The items of one frame by TagLib's property names (Frame::asProperties()
// is not public; a tag's properties() are the union of its frames').
TagLib::PropertyMap itemsOf(ID3v2::Frame& frame) {
    ID3v2::Tag scratch;
    scratch.addFrame(&frame);
    TagLib::PropertyMap items = scratch.properties();
    scratch.removeFrame(&frame, false);
    return items;
}

// An existing item keeps its own spelling (a TXXX description "My Own Key"
// is the key MY OWN KEY) and a comment its language.
void keepIdentity(ID3v2::Frame& frame, const ID3v2::Frame* like) {
    auto* comment = dynamic_cast<ID3v2::CommentsFrame*>(&frame);
    auto* lyrics = dynamic_cast<ID3v2::UnsynchronizedLyricsFrame*>(&frame);
    if (comment)
        comment->setLanguage("eng");
    if (lyrics)
        lyrics->setLanguage("eng");
    if (!like)
        return;
    if (auto* text = dynamic_cast<ID3v2::UserTextIdentificationFrame*>(&frame)) {
        if (const auto* old = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(like))
            text->setDescription(old->description());
    } else if (comment) {
        if (const auto* old = dynamic_cast<const ID3v2::CommentsFrame*>(like)) {
            comment->setDescription(old->description());
            comment->setLanguage(old->language());
        }
    } else if (lyrics) {
        if (const auto* old = dynamic_cast<const ID3v2::UnsynchronizedLyricsFrame*>(like)) {
            lyrics->setDescription(old->description());
            lyrics->setLanguage(old->language());
        }
    }
}

// The frames of an item written from scratch: TagLib's frame for the key,
// with every value where the frame holds several (ID3v2.4 text frames).
std::vector<ByteVector> framesForKey(const String& key, const StringList& values, int version,
                                     const ID3v2::Frame* like) {
    if (values.isEmpty())
        return {};
    const ID3v2::FrameFactory& factory = *ID3v2::FrameFactory::instance();
    std::unique_ptr<ID3v2::Frame> frame(factory.createFrameForProperty(key, StringList(joinValues(values))));
    if (!frame)
        return {};
    auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame.get());
    if (text && values.size() > 1) {
        if (version == 4)
            frame.reset(factory.createFrameForProperty(key, values));
        else if (contains(slashSeparatedFrames, String(frame->frameID())))
            text->setText(values.toString("/"));
    }
    keepIdentity(*frame, like);
    return {renderFrame(*frame, version)};
}

// A frame of several items (TIPL, TMCL: people and their roles) with one of
// them changed.
std::vector<ByteVector> peopleFrameWith(ID3v2::Frame& stored, const String& key, const StringList& values,
                                        int version) {
    TagLib::PropertyMap people = itemsOf(stored);
    people.erase(key);
    if (!values.isEmpty())
        people.insert(key, values);
    if (people.isEmpty())
        return {};
    std::unique_ptr<ID3v2::TextIdentificationFrame> frame(
        stored.frameID() == "TMCL" ? ID3v2::TextIdentificationFrame::createTMCLFrame(people)
                                   : ID3v2::TextIdentificationFrame::createTIPLFrame(people));
    if (version == 3)
        frame->header()->setFrameID("IPLS"); // the ID3v2.3 form of both
    return {renderFrame(*frame, version)};
}

bool isXiphKey(const String& key) {
    // Printable ASCII without "=", as the format says.
    return !key.isEmpty() &&
           std::all_of(key.begin(), key.end(), [](wchar_t c) { return c >= 0x20 && c <= 0x7D && c != '='; });
}

} // namespace

bool isFieldKey(const String& key, MainTag tag) {
    if (contains(commonFieldKeys, key))
        return true;
    switch (tag) {
    case MainTag::id3v2:
        return contains(id3v2FieldKeys, key) || key.startsWith("LYRICS:");
    case MainTag::xiph:
    case MainTag::ape:
        return contains(xiphFieldKeys, key);
    case MainTag::mp4:
        return contains(mp4FieldKeys, key);
    }
    return false;
}

std::vector<PropertyChange> propertyChanges(const CTagLibTagValues& values, MainTag tag) {
    std::vector<PropertyChange> changes;
    for (int32_t i = 0; values.properties && i < values.propertyCount; ++i) {
        const CTagLibPropertyWrite& property = values.properties[i];
        const String key = stringFromUtf8(property.key).upper();
        if (key.isEmpty() || isFieldKey(key, tag))
            continue;
        // A key named twice ("label", "LABEL") takes the last values.
        const auto same = std::find_if(changes.begin(), changes.end(),
                                       [&key](const PropertyChange& change) { return change.key == key; });
        if (same != changes.end())
            changes.erase(same);
        changes.push_back({key, splitValues(stringFromUtf8(property.value))});
    }
    return changes;
}

void writeId3v2Properties(Id3v2Rewrite& rewrite, const std::vector<PropertyChange>& changes) {
    if (changes.empty())
        return;
    const StoredId3v2Tag& stored = rewrite.stored();
    std::vector<std::unique_ptr<ID3v2::Frame>> parsed;
    std::vector<TagLib::PropertyMap> items;
    for (const ByteVector& frame : stored.frames) {
        // Pictures and other binary frames hold no text item.
        const bool binary = frame.startsWith("APIC") || frame.startsWith("GEOB") || frame.startsWith("PRIV");
        parsed.push_back(binary ? nullptr : parseFrame(frame, stored.version));
        items.push_back(parsed.back() ? itemsOf(*parsed.back()) : TagLib::PropertyMap());
    }
    for (const PropertyChange& change : changes) {
        std::vector<ByteVector> owned;
        StringList current;
        ID3v2::Frame* like = nullptr;
        for (size_t i = 0; i < stored.frames.size(); ++i) {
            if (items[i].contains(change.key)) {
                owned.push_back(stored.frames[i]);
                current.append(items[i][change.key]);
                if (!like)
                    like = parsed[i].get();
            }
        }
        if (current == change.values)
            continue; // an item given as it is stays as stored
        const bool people = like && (like->frameID() == "TIPL" || like->frameID() == "TMCL");
        rewrite.replaceFrames(std::move(owned),
                              people ? peopleFrameWith(*like, change.key, change.values, stored.version)
                                     : framesForKey(change.key, change.values, stored.version, like));
    }
}

bool writeXiphProperties(TagLib::Ogg::XiphComment& comment, const std::vector<PropertyChange>& given) {
    std::vector<PropertyChange> changes;
    for (const PropertyChange& change : given) {
        if (comment.fieldListMap().value(change.key) != change.values)
            changes.push_back(change);
    }
    if (!std::all_of(changes.begin(), changes.end(),
                     [](const PropertyChange& c) { return isXiphKey(c.key); }))
        return false;
    for (const PropertyChange& change : changes) {
        comment.removeFields(change.key);
        for (const String& value : change.values)
            comment.addField(change.key, value, false);
    }
    return true;
}

bool writeMp4Properties(TagLib::MP4::Tag& tag, const std::vector<PropertyChange>& changes,
                        std::vector<std::string>& changedItems) {
    const TagLib::MP4::ItemFactory& factory = *TagLib::MP4::ItemFactory::instance();
    struct Plan {
        std::vector<String> stored; // the items that hold the key now
        String name;                // where the values go
        TagLib::MP4::Item item;
        StringList values;
    };
    std::vector<Plan> plans;
    for (const PropertyChange& change : changes) {
        Plan plan;
        for (const auto& [name, item] : tag.itemMap()) {
            if (factory.propertyKeyForName(name.data(String::Latin1)).upper() == change.key)
                plan.stored.push_back(name);
        }
        StringList current;
        for (const String& stored : plan.stored)
            current.append(factory.itemToProperty(stored.data(String::Latin1), tag.item(stored)).second);
        if (current == change.values)
            continue; // an item given as it is stays as stored
        auto [name, item] = factory.itemFromProperty(change.key, change.values);
        if (name.isEmpty() || (!change.values.isEmpty() && !item.isValid()))
            return false; // no item name for the key, or no item of that name for text
        plan.name = plan.stored.empty() ? String(name, String::Latin1) : plan.stored.front();
        // TagLib renders a free-form item whose name holds a ":" as nothing.
        if (!change.values.isEmpty() && plan.name.startsWith("----") &&
            StringList::split(plan.name, ":").size() != 3)
            return false;
        plan.item = item;
        plan.values = change.values;
        plans.push_back(std::move(plan));
    }
    for (const Plan& plan : plans) {
        for (const String& name : plan.stored) {
            tag.removeItem(name);
            changedItems.push_back(name.to8Bit(false));
        }
        if (!plan.values.isEmpty()) {
            tag.setItem(plan.name, plan.item);
            changedItems.push_back(plan.name.to8Bit(false));
        }
    }
    return true;
}

} // namespace ctaglib

#include "Quire/Views/Preferences/PreferencesWindow.h"

#include "Quire/Views/Common/Symbols.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The sliders move in steps: quality in twentieths from 0.1 to 1.0, the
// dimension in fifties from 100 to 3000.
constexpr int qualitySteps = 20;
constexpr int dimensionStep = 50;

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont caption = label->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    label->setFont(caption);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    return label;
}

// Truncated towards zero as shown, but not below a whole number that the
// value is only a rounding error away from (0.57 × 100 is 56.999…).
qint64 wholePart(double value) {
    return qint64(std::trunc(value + (value < 0 ? -1e-9 : 1e-9)));
}

} // namespace

PreferencesWindow::PreferencesWindow(QSettings* settings, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings ? settings : new QSettings(this))
    , m_tabs(new QTabWidget(this)) {
    setWindowTitle(tr("Preferences"));
    m_tabs->addTab(tagsTab(), Symbols::icon(QStringLiteral("tag")), tr("Tags"));
    m_tabs->addTab(artworkTab(), Symbols::icon(QStringLiteral("photo")), tr("Artwork"));
    m_tabs->addTab(patternsTab(), Symbols::icon(QStringLiteral("textformat")), tr("Patterns"));
    m_tabs->addTab(onlineTab(), Symbols::icon(QStringLiteral("magnifyingglass")), tr("Online"));
    // Every change is written at once, as the desktop's settings windows do: there is only Close
    // (Escape too).
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    resize(480, 400);
}

QPushButton* PreferencesWindow::closeButton() const {
    return findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
}

QAbstractButton* PreferencesWindow::choice(const QString& text) const {
    for (QAbstractButton* button : m_choices)
        if (button->text() == text)
            return button;
    return nullptr;
}

QWidget* PreferencesWindow::tagsTab() {
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    QWidget* id3 = choiceGroup(tr("ID3"), tr("Default version"), PreferenceKeys::defaultID3Version,
                               Preferences::id3v24, {Preferences::id3v23, Preferences::id3v24});
    id3->layout()->addWidget(
        note(tr("The version of the ID3v2 tags that saving creates in MP3, WAV, AIFF, DSF and DSDIFF files "
                "that have none. A file's own ID3v2 tag keeps its version. Choose ID3v2.3 for older players "
                "and car stereos."),
             id3));
    id3->layout()->addWidget(note(tr("Text is saved as UTF-8, and as UTF-16 in ID3v2.3 tags, which cannot "
                                     "hold UTF-8."),
                                  id3));
    layout->addWidget(id3);

    auto* cache = new QGroupBox(tr("Cache"), tab);
    auto* cacheLayout = new QVBoxLayout(cache);
    m_readCache = new QCheckBox(tr("Remember what was read from files"), cache);
    m_readCache->setChecked(Preferences::readCacheEnabled(*m_settings));
    cacheLayout->addWidget(m_readCache);
    cacheLayout->addWidget(
        note(tr("Files that haven’t changed since they were last opened open from a cache instead of being "
                "read again, which is much quicker for large libraries. The cache holds tags, not pictures, "
                "and is kept in your cache folder."),
             cache));
    m_clearCache = new QPushButton(tr("Clear Cache"), cache);
    m_clearCache->setAccessibleDescription(tr("Forgets what was read, so that files are read again"));
    cacheLayout->addWidget(m_clearCache, 0, Qt::AlignLeft);
    connect(m_readCache, &QCheckBox::toggled, this,
            [this](bool on) { write(PreferenceKeys::readCacheEnabled, on); });
    connect(m_clearCache, &QPushButton::clicked, this, &PreferencesWindow::clearCacheRequested);
    layout->addWidget(cache);
    layout->addStretch();
    return tab;
}

QWidget* PreferencesWindow::artworkTab() {
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);

    auto* compression = new QGroupBox(tr("Compression"), tab);
    auto* compressionLayout = new QVBoxLayout(compression);
    m_qualityLabel = new QLabel(compression);
    m_quality = new QSlider(Qt::Horizontal, compression);
    m_quality->setRange(2, qualitySteps);
    m_quality->setAccessibleName(tr("JPEG quality"));
    compressionLayout->addWidget(m_qualityLabel);
    compressionLayout->addWidget(m_quality);
    compressionLayout->addWidget(
        note(tr("Where Optimize Artwork starts: lower quality makes smaller pictures with more visible "
                "artefacts."),
             compression));
    layout->addWidget(compression);

    auto* optimization = new QGroupBox(tr("Optimization"), tab);
    auto* optimizationLayout = new QVBoxLayout(optimization);
    m_dimensionLabel = new QLabel(optimization);
    m_dimension = new QSlider(Qt::Horizontal, optimization);
    m_dimension->setRange(100 / dimensionStep, 3000 / dimensionStep);
    m_dimension->setAccessibleName(tr("Default max dimension"));
    optimizationLayout->addWidget(m_dimensionLabel);
    optimizationLayout->addWidget(m_dimension);
    optimizationLayout->addWidget(
        note(tr("Where Optimize Artwork starts: larger pictures are scaled down so that their longest "
                "side is at most this long."),
             optimization));
    layout->addWidget(optimization);
    layout->addStretch();

    const double quality = Preferences::artworkJPEGQuality(*m_settings);
    const double dimension = Preferences::artworkMaxDimension(*m_settings);
    m_quality->setValue(int(std::lround(quality * qualitySteps)));
    m_dimension->setValue(int(std::lround(dimension / dimensionStep)));
    showQuality(quality);
    showDimension(dimension);
    connect(m_quality, &QSlider::valueChanged, this, [this](int step) {
        const double value = double(step) / qualitySteps;
        write(PreferenceKeys::artworkJPEGQuality, value);
        showQuality(value);
    });
    connect(m_dimension, &QSlider::valueChanged, this, [this](int step) {
        const double value = double(step * dimensionStep);
        write(PreferenceKeys::artworkMaxDimension, value);
        showDimension(value);
    });
    return tab;
}

QWidget* PreferencesWindow::patternsTab() {
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(textGroup(tr("Rename Pattern Preset"), PreferenceKeys::renamePatternPreset,
                                Preferences::defaultRenamePattern,
                                tr("Rename from Pattern proposes this pattern first; leave it empty for "
                                   "the default. Tokens: {title} {artist} {album} {track} {year} {genre}"),
                                m_renamePattern));
    layout->addWidget(textGroup(tr("Tags from Filename Preset"), PreferenceKeys::tagsFromFilenamePreset,
                                Preferences::defaultTagsFromFilenamePattern,
                                tr("Tags from Filename proposes this pattern first; leave it empty for the "
                                   "default. Use {field} tokens to capture values from filenames"),
                                m_filenamePattern));
    layout->addStretch();
    return tab;
}

QWidget* PreferencesWindow::onlineTab() {
    auto* tab = new QWidget(this);
    auto* layout = new QVBoxLayout(tab);
    const LookupServices defaults;
    layout->addWidget(textGroup(tr("MusicBrainz Address"), PreferenceKeys::musicBrainzURL,
                                defaults.musicBrainz.toString(),
                                tr("Look Up Online finds releases with the MusicBrainz web service at this "
                                   "address; leave it empty for the default. An address that is not http or "
                                   "https is not used."),
                                m_musicBrainzURL));
    layout->addWidget(textGroup(tr("Cover Art Archive Address"), PreferenceKeys::coverArtArchiveURL,
                                defaults.coverArt.toString(),
                                tr("Front covers come from the Cover Art Archive at this address; leave it "
                                   "empty for the default."),
                                m_coverArtURL));
    layout->addStretch();
    return tab;
}

QWidget* PreferencesWindow::choiceGroup(const QString& title, const QString& label, const QString& key,
                                        const QString& fallback, const QStringList& choices) {
    auto* group = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new QLabel(label, group));
    auto* buttons = new QButtonGroup(group);
    const QString stored = m_settings->value(key, fallback).toString();
    for (const QString& text : choices) {
        auto* button = new QRadioButton(text, group);
        button->setChecked(text == stored);
        button->setAccessibleName(text);
        button->setAccessibleDescription(label);
        buttons->addButton(button);
        layout->addWidget(button);
        m_choices.append(button);
        connect(button, &QRadioButton::toggled, this, [this, key, text](bool on) {
            if (on)
                write(key, text);
        });
    }
    return group;
}

QWidget* PreferencesWindow::textGroup(const QString& title, const QString& key, const QString& fallback,
                                      const QString& noteText, QLineEdit*& field) {
    auto* group = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(group);
    field = new QLineEdit(m_settings->value(key, fallback).toString(), group);
    field->setPlaceholderText(fallback);
    field->setAccessibleName(title);
    layout->addWidget(field);
    layout->addWidget(note(noteText, group));
    // An emptied field stores empty text: the default is only for an absent key.
    connect(field, &QLineEdit::textEdited, this, [this, key](const QString& text) { write(key, text); });
    return group;
}

void PreferencesWindow::write(const QString& key, const QVariant& value) {
    m_settings->setValue(key, value);
    m_settings->sync();
    emit changed(key);
}

void PreferencesWindow::showQuality(double quality) {
    m_qualityLabel->setText(tr("JPEG quality: %1%").arg(wholePart(quality * 100)));
}

void PreferencesWindow::showDimension(double dimension) {
    m_dimensionLabel->setText(tr("Default max dimension: %1 px").arg(wholePart(dimension)));
}

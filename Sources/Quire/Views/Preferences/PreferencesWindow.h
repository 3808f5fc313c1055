#pragma once

#include "Quire/ViewModels/Preferences.h"

#include <QDialog>
#include <QString>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSlider;
class QTabWidget;

// The preferences window: four tabs (Tags, Artwork, Patterns, Online) whose controls,
// each with a line saying what it does, read their keys when the window opens
// and write every change at once; there is no apply or cancel step, only
// Close (or Escape). Each preference is read where it takes effect.
class PreferencesWindow : public QDialog {
    Q_OBJECT
public:
    // Without settings, the application's own store.
    explicit PreferencesWindow(QSettings* settings = nullptr, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return m_tabs; }
    QAbstractButton* choice(const QString& text) const;
    QSlider* qualitySlider() const { return m_quality; }
    QSlider* dimensionSlider() const { return m_dimension; }
    QLabel* qualityLabel() const { return m_qualityLabel; }
    QLabel* dimensionLabel() const { return m_dimensionLabel; }
    QLineEdit* renamePatternField() const { return m_renamePattern; }
    QLineEdit* filenamePatternField() const { return m_filenamePattern; }
    QLineEdit* musicBrainzField() const { return m_musicBrainzURL; }
    QLineEdit* coverArtField() const { return m_coverArtURL; }
    QCheckBox* readCacheBox() const { return m_readCache; }
    QPushButton* clearCacheButton() const { return m_clearCache; }
    QPushButton* closeButton() const;

signals:
    // A preference was written (at once, as the user changed it).
    void changed(const QString& key);
    // The read cache is to forget what it holds.
    void clearCacheRequested();

private:
    QWidget* tagsTab();
    QWidget* artworkTab();
    QWidget* patternsTab();
    QWidget* onlineTab();
    QWidget* choiceGroup(const QString& title, const QString& label, const QString& key,
                         const QString& fallback, const QStringList& choices);
    QWidget* textGroup(const QString& title, const QString& key, const QString& fallback, const QString& note,
                       QLineEdit*& field);
    void write(const QString& key, const QVariant& value);
    void showQuality(double quality);
    void showDimension(double dimension);

    QSettings* m_settings;
    QTabWidget* m_tabs;
    QList<QAbstractButton*> m_choices;
    QSlider* m_quality = nullptr;
    QSlider* m_dimension = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QLabel* m_dimensionLabel = nullptr;
    QLineEdit* m_renamePattern = nullptr;
    QLineEdit* m_filenamePattern = nullptr;
    QLineEdit* m_musicBrainzURL = nullptr;
    QLineEdit* m_coverArtURL = nullptr;
    QCheckBox* m_readCache = nullptr;
    QPushButton* m_clearCache = nullptr;
};

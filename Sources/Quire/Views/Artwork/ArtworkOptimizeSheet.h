#pragma once

#include "Quire/ViewModels/ArtworkProcessing.h"
#include "QuireCore/AudioFile.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

class DocumentViewModel;
class QLabel;
class QSlider;

// Shrinks the pictures of the selected files: a maximum edge and a JPEG quality, with an estimate of the
// first picture's new size. The estimate is worked out in the background a moment after the sliders stop,
// one computation at a time, so that dragging a slider over a large picture stays smooth.
class ArtworkOptimizeSheet : public QDialog {
    Q_OBJECT
public:
    ArtworkOptimizeSheet(DocumentViewModel* document, int maxDimension, double jpegQuality,
                         QWidget* parent = nullptr);

    int maxDimension() const;
    double jpegQuality() const;
    QSlider* maxDimensionSlider() const { return m_dimensionSlider; }
    QSlider* qualitySlider() const { return m_qualitySlider; }
    const ArtworkProcessing::ArtworkEstimate& estimate() const { return m_estimate; }
    // The caption under the sizes; empty while none is shown.
    QString captionText() const;
    bool isEstimating() const { return m_running || m_debounce.isActive(); }

signals:
    void estimateChanged();

private:
    void slidersMoved();
    void startEstimate();
    void showEstimate();

    QPointer<DocumentViewModel> m_document;
    QList<AudioFile> m_selected; // as it was when the sheet opened
    ArtworkProcessing::ArtworkEstimate m_estimate;
    QSlider* m_dimensionSlider;
    QSlider* m_qualitySlider;
    QLabel* m_dimensionLabel;
    QLabel* m_qualityLabel;
    QLabel* m_currentSize;
    QLabel* m_estimatedSize;
    QLabel* m_caption;
    QTimer m_debounce;
    bool m_running = false;
    bool m_rerun = false;
};

#pragma once

#include "QuireCore/TagWriter.h"

#include <QList>
#include <QObject>
#include <QUrl>
#include <memory>
#include <optional>

// One file's write, captured when the save starts.
struct WriteRequest {
    QUrl url;
    TagSet tags;
    TagFieldSet fields;                    // the fields to write; the others stay as they are
    std::optional<QList<Artwork>> artwork; // none leaves the file's pictures alone
};

// Writes files strictly one after another, each in the background, delivering
// each outcome on the job's thread. The job owns itself and ends (deletes
// itself) after `allFinished`, so a save runs to its end even when the
// document that started it is gone.
class SaveJob : public QObject {
    Q_OBJECT

public:
    SaveJob(QList<WriteRequest> requests, std::shared_ptr<const TagWriter> writer);
    void start();

signals:
    void fileFinished(qsizetype index, const std::optional<TagReaderError>& error);
    void allFinished();

private:
    void writeNext();

    QList<WriteRequest> m_requests;
    std::shared_ptr<const TagWriter> m_writer;
    qsizetype m_next = 0;
};

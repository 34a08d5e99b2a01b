#pragma once

#include "XTTypes.h"

#include <QString>

// The host's rendering of a story's first box, written to a GIF file in the
// host's temporary folder. The file is deleted with the object.
class XImage
{
public:
    explicit XImage(char** text);
    ~XImage();
    XImage(const XImage&) = delete;
    XImage& operator=(const XImage&) = delete;

    // The GIF file's path; empty when the rendering made no file.
    QString FilePath() const;

private:
    XTFileSpec mFile = nullptr;
};

#pragma once
// Loading a skin bitmap by its relative name ("\skin\play.bmp"), names matched without
// regard to case. Throws EFOpenError or EInvalidGraphic with the program's texts.

#include <QImage>
#include <QString>

QImage LoadSkinBitmap(const QString& relativeName);

// Loads a bitmap file by full path with the same errors.
QImage LoadBitmapFile(const QString& path);

#pragma once

// The single-byte code page of the program's users: files and device texts from the original
// platform hold Windows-1251 bytes. Text the program writes itself goes out in Windows-1251
// when every character has a place in it and in UTF-8 otherwise, so a character is never
// lost; reading tells the two apart by whether the bytes are valid UTF-8.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace CodePage {

// One character through the Windows-1251 table; false when the code page lacks it.
bool EncodeWindows1251(QChar c, char* byte);
// Every byte has a character, and that character encodes back to the same byte (the one byte
// the code page leaves undefined, 0x98, maps to the control character of that number).
QChar DecodeWindows1251(unsigned char byte);

// Each byte through the Windows-1251 table.
QString DecodeWindows1251(const QByteArray& bytes);
// false (and `bytes` unspecified) when some character has no place in the code page.
bool EncodeWindows1251(const QString& text, QByteArray& bytes);

// UTF-8 when the bytes are valid UTF-8, else Windows-1251.
QString DecodeSystemText(const QByteArray& bytes);
// Windows-1251 when every character fits and the bytes read back as the same text, else UTF-8.
QByteArray EncodeSystemText(const QString& text);

} // namespace CodePage

#pragma once
// A QR code drawn as inline SVG, so the receipt needs no second request.

#include <QString>

// The SVG of the text's QR code (medium error correction, a quiet zone of
// four modules); empty when the text cannot be encoded.
QString qrCodeSvg(const QString& text);

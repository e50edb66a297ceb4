#pragma once
// The printer's page geometry in device pixels, read from the current printer, or the figures of
// an A4 page at 300 dots per inch when no printer is installed.

// A length in pixels rounded to the nearest integer (halves to even), held within the range of
// int (not a number gives 0).
int RoundPixels(double Pixels);

class TSrcEditPrinterInfo {
public:
  // Reads the geometry now (and marks it up to date).
  void UpdatePrinter();
  // The figures of an A4 page at 300 dots per inch, kept until the next UpdatePrinter.
  void UseA4Defaults();

  int PhysicalWidth();
  int PhysicalHeight();
  int PrintableWidth();
  int PrintableHeight();
  int LeftGutter();
  int RightGutter();
  int TopGutter();
  int BottomGutter();
  int DpiX();
  int DpiY();
  float PixelsPerMmX();
  float PixelsPerMmY();

  // Millimetres from a page edge to pixels from the printable area's edge (nearest, halves
  // to even).
  int LeftPixels(double MM);
  int RightPixels(double MM);
  int TopPixels(double MM);
  int BottomPixels(double MM);

private:
  void Ensure() {
    if (!isUpdated_) UpdatePrinter();
  }
  int physicalWidth_ = 0, physicalHeight_ = 0, printableWidth_ = 0, printableHeight_ = 0;
  int leftGutter_ = 0, rightGutter_ = 0, topGutter_ = 0, bottomGutter_ = 0;
  int xPixPerInch_ = 0, yPixPerInch_ = 0;
  float xPixPerMM_ = 0, yPixPerMM_ = 0;
  bool isUpdated_ = false;
};

#pragma once

#include <string>

// The files the bridge serves itself: the page library and the demo page.
class cBridgeAssets {
 public:
  // The body and content type of the file at path ("/", "/kytsip.js"); false for any other.
  static bool Find(const std::string& path, std::string* pBody, std::string* pType);
};

#include "encode/encoder_texts.h"

EncoderTexts& EncTexts() {
  static EncoderTexts texts;
  return texts;
}

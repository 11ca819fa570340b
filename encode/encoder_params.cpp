#include "encode/encoder_params.h"

EncoderParams& EncParams() {
  static EncoderParams params;
  return params;
}

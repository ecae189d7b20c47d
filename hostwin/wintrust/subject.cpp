#include "subject.h"

namespace hw::trust {

HRESULT OpenSubject(ByteSource &source, std::unique_ptr<Subject> *subject) {
  if (LooksLikePe(source)) return OpenPeSubject(source, subject);
  if (LooksLikeCompoundFile(source)) return OpenCompoundFileSubject(source, subject);
  return TRUST_E_SUBJECT_FORM_UNKNOWN;
}

}  // namespace hw::trust

#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "util/cKytSTR.h"

class cChatContact;

// The presence contacts by lower-cased user name. A contact is shared with whoever is working
// on it at the moment, so that replacing or deleting it from inside one of its own events (the
// page may add or remove contacts there) never pulls it out from under that work.
class cChatContactList {
 public:
  // Lists the contact under its user name, replacing a contact of the same name.
  void AddContact(const std::shared_ptr<cChatContact>& pContact);
  std::shared_ptr<cChatContact> FindContact(const cKytSTR& userName) const;
  // A copy of the list, so that the caller may change the list while it walks the copy.
  std::vector<std::shared_ptr<cChatContact>> GetAllContacts() const;
  // Deletes the removed contacts whose last seconds have run out.
  void RemoveDeletedContacts();
  size_t GetCount() const { return m_pListChatContact.size(); }

 private:
  static std::string KeyOf(const cKytSTR& userName);

  std::map<std::string, std::shared_ptr<cChatContact>> m_pListChatContact;
};

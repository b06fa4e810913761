#include "chat/cChatContactList.h"

#include "chat/cChatContact.h"
#include "sip/cTextSIP.h"

std::string cChatContactList::KeyOf(const cKytSTR& userName) {
  return cTextSIP::Lower(userName).GetDATA();
}

void cChatContactList::AddContact(const std::shared_ptr<cChatContact>& pContact) {
  m_pListChatContact[KeyOf(pContact->GetUserName())] = pContact;
}

std::shared_ptr<cChatContact> cChatContactList::FindContact(const cKytSTR& userName) const {
  auto it = m_pListChatContact.find(KeyOf(userName));
  return it == m_pListChatContact.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<cChatContact>> cChatContactList::GetAllContacts() const {
  std::vector<std::shared_ptr<cChatContact>> contacts;
  contacts.reserve(m_pListChatContact.size());
  for (const auto& entry : m_pListChatContact) contacts.push_back(entry.second);
  return contacts;
}

void cChatContactList::RemoveDeletedContacts() {
  std::erase_if(m_pListChatContact,
                [](const auto& entry) { return entry.second->IsReadyToDelete(); });
}

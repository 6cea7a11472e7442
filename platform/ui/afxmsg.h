// CObject, CCmdTarget and the message maps: static tables of (message, notification code,
// control ID range, handler), searched from the most derived class to its bases; the first
// matching entry wins, and a message no table handles goes to the window's default
// behaviour.
#pragma once

#include "platform/win32.h"

#define afx_msg
#ifndef PASCAL
#define PASCAL
#endif

class CCmdTarget;
class CObject;

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    const CRuntimeClass* m_pBaseClass;
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)
#define DECLARE_DYNAMIC(class_name)                          \
public:                                                      \
    static const CRuntimeClass class##class_name;            \
    const CRuntimeClass* GetRuntimeClass() const override;
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                   \
    const CRuntimeClass class_name::class##class_name = {#class_name, sizeof(class_name), \
                                                         RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

class CObject {
public:
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
};

// One entry of a message map. `pfn` unpacks the message's parameters and calls the member.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND, WM_NOTIFY, or the window message
    UINT nCode;     // notification code for WM_COMMAND / WM_NOTIFY
    UINT nID;       // control ID range for WM_COMMAND / WM_NOTIFY
    UINT nLastID;
    void (*pfn)(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (PASCAL* pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                          \
protected:                                             \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() {                          \
        typedef theClass ThisClass [[maybe_unused]];                                  \
        typedef baseClass TheBaseClass;                                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                            \
    {0, 0, 0, 0, nullptr}};                                                          \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                              \
    }

// The handlers' call shapes.
#define DROVAN_AFX_CALL(body) \
    [](CCmdTarget* pTarget, UINT, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
        (void)wParam; (void)lParam; (void)pResult;                                   \
        ThisClass* pThis = static_cast<ThisClass*>(pTarget);                          \
        body;                                                                        \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), DROVAN_AFX_CALL((pThis->*(memberFxn))())},
#define ON_COMMAND_RANGE(id, idLast, memberFxn)           \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(idLast),            \
     DROVAN_AFX_CALL((pThis->*(memberFxn))((UINT)LOWORD(wParam)))},
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    {WM_COMMAND, (UINT)(WORD)(wNotifyCode), (UINT)(id), (UINT)(id), DROVAN_AFX_CALL((pThis->*(memberFxn))())},
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFxn)  \
    {WM_COMMAND, (UINT)(WORD)(wNotifyCode), (UINT)(id), (UINT)(idLast), \
     DROVAN_AFX_CALL((pThis->*(memberFxn))((UINT)LOWORD(wParam)))},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_DROPDOWN(id, memberFxn) ON_CONTROL(CBN_DROPDOWN, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_STN_CLICKED(id, memberFxn) ON_CONTROL(STN_CLICKED, id, memberFxn)

#define ON_MESSAGE(message, memberFxn) \
    {(UINT)(message), 0, 0, 0, DROVAN_AFX_CALL(*pResult = (pThis->*(memberFxn))(wParam, lParam))},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, DROVAN_AFX_CALL(pThis->OnPaint())},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, DROVAN_AFX_CALL(pThis->OnTimer((UINT_PTR)wParam))},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, DROVAN_AFX_CALL(*pResult = (LRESULT)pThis->OnQueryDragIcon())},
#define ON_WM_LBUTTONUP()                                                            \
    {WM_LBUTTONUP, 0, 0, 0,                                                          \
     DROVAN_AFX_CALL(pThis->OnLButtonUp((UINT)wParam, CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))))},
#define ON_WM_LBUTTONDOWN()                                                          \
    {WM_LBUTTONDOWN, 0, 0, 0,                                                        \
     DROVAN_AFX_CALL(pThis->OnLButtonDown((UINT)wParam, CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))))},
// WM_CTLCOLOR stands for every WM_CTLCOLORxxx message; the handler is told which one.
#define ON_WM_CTLCOLOR()                                                             \
    {WM_CTLCOLOR, 0, 0, 0,                                                           \
     [](CCmdTarget* pTarget, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
         ThisClass* pThis = static_cast<ThisClass*>(pTarget);                         \
         *pResult = (LRESULT)pThis->OnCtlColor(CDC::FromHandle((HDC)wParam),          \
                                               CWnd::FromHandle((HWND)lParam),        \
                                               message - WM_CTLCOLORMSGBOX);          \
     }},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, DROVAN_AFX_CALL(pThis->OnClose())},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, DROVAN_AFX_CALL(pThis->OnDestroy())},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, DROVAN_AFX_CALL(pThis->OnSysCommand((UINT)wParam, lParam))},
#define ON_WM_ERASEBKGND() \
    {WM_ERASEBKGND, 0, 0, 0, DROVAN_AFX_CALL(*pResult = pThis->OnEraseBkgnd(CDC::FromHandle((HDC)wParam)))},

class CCmdTarget : public CObject {
public:
    // Routes a command (WM_COMMAND's code and ID) through this object's message map.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam);

    // Walks the map chain; true when an entry handled the message.
    BOOL DispatchThroughMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

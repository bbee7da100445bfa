// pageactions.h - the page action codes: the "action" member of every message
// between the client and its pages; and the values of page events that both
// sides name. These lists are their one definition: the client's code names
// them from here, and the build writes the page scripts' constants
// (qovactions.js, window.QovActions) from these lines with
// webview/genpageactions.js, so the two sides cannot drift apart.
// One code a line, "kAct<Name> = <number>," (a value: "k<Name> = <number>,")
// and a comment: the generator reads exactly that form.
#pragma once

enum PageAction : int {
    kActPageLoaded = 1,        // page to client: the start page has loaded
    kActSubscribe = 6,         // subscribe an element to an event
    kActPageEvent = 8,         // page to client: one queued event
    kActQueryProp = 9,         // query: an element's property
    kActSlider = 11,           // a slider's position, range and ticks
    kActFocus = 14,            // focus an element, or ask which has it
    kActFetchEvent = 15,       // client to page: the next queued event
    kActCombo = 16,            // a combo box's list and text
    kActInsert = 19,           // insert markup (and its script) into a holder
    kActDelete = 20,           // delete an element, or a menu's items
    kActEdit = 21,             // an edit field's text, selection and options
    kActDraw = 22,             // redraw the drawn shapes of a canvas
    kActSetCss = 23,           // set one style of an element
    kActSetProp = 24,          // set one property of an element
    kActProgress = 25,         // a progress bar's value and range
    kActSetHtml = 26,          // set an element's HTML
    kActDateTime = 27,         // a date field's value, format and reports
    kActQueryCss = 28,         // query: one style of an element
    kActDialog = 29,           // a dialog window: open, close, title, options
    kActRunScript = 30,        // run a script text, answer its result
    kActNumber = 31,           // a number field's value, range and state
    kActTabs = 32,             // a tab control's tabs and selection
    kActHtmlContent = 35,      // a panel's or an HTML control's content
    kActMenu = 36,             // a menu bar, its popups and shortcut keys
    kActPageFacts = 37,        // query: screen, print, location and window facts
    kActClass = 38,            // remove and add classes of an element
    kActSetFlag = 39,          // set a true/false property of an element
    kActList = 40,             // a list's or a bound table's rows
    kActUnsubscribe = 41,      // end an event subscription
    kActCellRect = 42,         // query: a list cell's rectangle
    kActCancelMode = 43,       // a button's cancel mode
    kActFillPage = 44,         // a window that fills the page, and back
    kActFileOptions = 45,      // a file button's accepted types and multiple choice
    kActText = 46,             // set an element's text
    kActImage = 47,            // a picture's image and its size
    kActStorage = 48,          // session storage and cookies
    kActTree = 49,             // a tree view's nodes, selection and state
    kActJqEvent = 50,          // a script event on an element
    kActSelectorSet = 51,      // set by a selector: style, property, value, HTML, text
    kActSelectorGet = 52,      // query by a selector
    kActToolBar = 54,          // a toolbar's buttons and their states
    kActSplitter = 55,         // a splitter's cursor and drag
    kActEventsWaiting = 56,    // page to client: events are waiting
};

enum PageValue : int {
    kClickOnWindowItself = 1,  // a window clicked (99974): the press was on the window itself, not a control
};

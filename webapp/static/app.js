/* The small enhancements of orvowizard's pages. Every page also works
   without this file: forms post, links open raw files. With it:
   - wizard forms show progress while Generate or Save runs (buttons
     disabled, a spinner, the status line), and Ctrl+Enter (Cmd+Enter)
     generates;
   - the "link to these settings" follows the form as it is edited and can be
     copied;
   - links to generated files (a[data-view]) open the file viewer
     (static/viewer.html), which shows the file with syntax highlighting;
   - while Generate or Build runs, the run's console output appears as it
     arrives (the form names the run in its "runId" field and the page
     follows it at follow?run=<id>, a stream of server-sent events);
   - forms with data-confirm ask before they are sent;
   - the project list says which wizard sent the user there. */
(() => {
  'use strict';

  document.documentElement.classList.add('js');

  const SAVED_KEY = 'orvowizard-saved';
  const WIZARDS = {
    server: 'Web-service server',
    client: 'Web-service client',
    foundation: 'XML data binding',
    tavrin: 'Servlet project',
  };

  function ready(fn) {
    if (document.readyState === 'loading') {
      document.addEventListener('DOMContentLoaded', fn);
    } else {
      fn();
    }
  }

  // ---- forms that ask first ------------------------------------------------

  function setUpConfirmations() {
    for (const form of document.querySelectorAll('form[data-confirm]')) {
      form.addEventListener('submit', (event) => {
        if (!window.confirm(form.dataset.confirm)) {
          event.preventDefault();
        }
      });
    }
  }

  // ---- following a run ------------------------------------------------------------

  // A fresh run id: 32 hexadecimal digits.
  function newRunId() {
    const bytes = new Uint8Array(16);
    window.crypto.getRandomValues(bytes);
    return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  }

  // Names the run the form is about to start and shows its console output
  // in the form's pre.run-output until the run ends (or the page goes, as
  // it does when the form's answer arrives).
  function followRun(form) {
    const field = form.querySelector('input[name="runId"]');
    const output = form.querySelector('.run-output');
    if (!field || !output || !window.EventSource) {
      return;
    }
    const id = newRunId();
    field.value = id;
    output.textContent = '';
    output.hidden = false;
    output.classList.add('running');
    const source = new EventSource(new URL(`follow?run=${id}`, document.baseURI).href);
    const stop = () => {
      source.close();
      output.classList.remove('running');
    };
    source.addEventListener('output', (event) => {
      const atEnd = output.scrollTop + output.clientHeight >= output.scrollHeight - 4;
      output.append(`${event.data}\n`);
      if (atEnd) {
        output.scrollTop = output.scrollHeight;
      }
    });
    source.addEventListener('end', stop);
    source.addEventListener('unknown', stop);
    source.addEventListener('error', stop);
    window.addEventListener('pagehide', stop, { once: true });
  }

  // ---- wizard forms ------------------------------------------------------------

  // The busy state of a form whose run is going on: buttons disabled, the
  // spinner and the progress line; cleared when the page comes back from
  // the back-forward cache.
  function busyState(form) {
    const progressText = form.querySelector('.progress-text');
    const state = { busy: false };

    function submitButtons() {
      return form.querySelectorAll('button[type="submit"], button:not([type])');
    }

    state.set = (submitter) => {
      state.busy = true;
      // No aria-busy on the form: it would hold back the announcement of
      // the progress line, a live region inside it.
      form.classList.add('busy');
      if (progressText) {
        progressText.textContent = submitter.dataset.busy;
      }
      // The browser has taken the form's values by the time this runs; a
      // button disabled any earlier would leave its own value out.
      window.setTimeout(() => {
        for (const button of submitButtons()) {
          button.disabled = true;
        }
      }, 0);
    };

    state.clear = () => {
      state.busy = false;
      form.classList.remove('busy');
      if (progressText) {
        progressText.textContent = '';
      }
      for (const button of submitButtons()) {
        button.disabled = false;
      }
    };

    window.addEventListener('pageshow', (event) => {
      if (event.persisted) {
        state.clear();
      }
    });
    return state;
  }

  // A form that starts a run on the server (the status page's Build): busy
  // while it runs, its output followed.
  function setUpRunForm(form) {
    const state = busyState(form);
    form.addEventListener('submit', (event) => startRun(form, state, event));
  }

  // A form with a run going refuses a second one (a second press would start
  // a second run); otherwise it turns busy and, for a followed run, names it
  // and shows its output. Returns the pressed button, or null when refused.
  function startRun(form, state, event) {
    if (state.busy) {
      event.preventDefault();
      return null;
    }
    const submitter = event.submitter;
    if (submitter && submitter.dataset.busy) {
      state.set(submitter);
    }
    const field = form.querySelector('input[name="runId"]');
    if (submitter && submitter.dataset.follow) {
      followRun(form);
    } else if (field) {
      field.value = '';
    }
    return submitter;
  }

  function setUpWizard(form) {
    const generate = form.querySelector('button[value="generate"]');
    const state = busyState(form);

    form.addEventListener('submit', (event) => {
      const submitter = startRun(form, state, event);
      if (submitter && submitter.value === 'Save') {
        const tier = form.querySelector('input[name="tier"]')?.value;
        const name = form.querySelector('input[name="projectName"]')?.value.trim();
        try {
          window.sessionStorage.setItem(SAVED_KEY, JSON.stringify({ tier, name, at: Date.now() }));
        } catch (error) {
          // Without storage the project list simply says less.
        }
      }
    });

    document.addEventListener('keydown', (event) => {
      if (event.key !== 'Enter' || !(event.ctrlKey || event.metaKey) || event.altKey || event.shiftKey) {
        return;
      }
      event.preventDefault();
      if (!state.busy && generate) {
        form.requestSubmit(generate);
      }
    });

    setUpSettingsLink(form);
  }

  // The address that refills this wizard: the form's values with oper=update.
  // Unticked boxes are left out, as the wizard reads a missing box as off.
  function settingsUrl(form) {
    const params = new URLSearchParams();
    params.append('oper', 'update');
    for (const [name, value] of new FormData(form)) {
      if (name !== 'oper' && name !== 'tier' && name !== 'defaultFile' && typeof value === 'string') {
        params.append(name, value);
      }
    }
    const url = new URL(form.getAttribute('action'), document.baseURI);
    url.search = params.toString();
    return url.href;
  }

  function setUpSettingsLink(form) {
    const link = document.getElementById('settings-link');
    if (!link) {
      return;
    }
    const update = () => {
      const href = settingsUrl(form);
      link.href = href;
      link.textContent = href;
    };
    form.addEventListener('input', update);
    form.addEventListener('change', update);
    update();

    const copy = document.querySelector('[data-copy="settings-link"]');
    if (!copy) {
      return;
    }
    const status = document.createElement('span');
    status.className = 'copied';
    status.setAttribute('role', 'status');
    copy.after(status);
    copy.addEventListener('click', async () => {
      update();
      try {
        await navigator.clipboard.writeText(link.href);
        status.textContent = 'Copied';
      } catch (error) {
        // Without clipboard access the link is selected for the user to copy.
        const range = document.createRange();
        range.selectNodeContents(link);
        const selection = window.getSelection();
        selection.removeAllRanges();
        selection.addRange(range);
        status.textContent = 'Selected: press Ctrl+C to copy';
      }
      window.setTimeout(() => { status.textContent = ''; }, 4000);
    });
  }

  // ---- links to generated files -------------------------------------------------

  // The viewer's address for a raw file, at a line to mark when given.
  function viewerHref(rawHref, line) {
    const raw = new URL(rawHref, document.baseURI);
    const viewer = new URL('static/viewer.html', document.baseURI);
    const params = new URLSearchParams({ src: raw.pathname + raw.search });
    if (/^[1-9][0-9]*$/.test(line || '')) {
      params.set('line', line);
    }
    viewer.search = params.toString();
    return viewer.pathname + viewer.search;
  }

  function setUpFileLinks() {
    for (const link of document.querySelectorAll('a[data-view]')) {
      link.dataset.raw = link.getAttribute('href');
      link.href = viewerHref(link.dataset.raw, link.dataset.line);
    }
  }

  // ---- the project list ----------------------------------------------------------------

  // A wizard's Save and Load… lead here with ?tier=<wizard>. Save also leaves
  // a note in sessionStorage (see setUpWizard), so that the folder of the
  // saved project can say so.
  function setUpFromWizardNote() {
    const note = document.getElementById('from-wizard');
    const tier = new URLSearchParams(window.location.search).get('tier');
    if (!note || !Object.prototype.hasOwnProperty.call(WIZARDS, tier)) {
      return;
    }
    let saved = null;
    try {
      saved = JSON.parse(window.sessionStorage.getItem(SAVED_KEY) || 'null');
      window.sessionStorage.removeItem(SAVED_KEY);
    } catch (error) {
      saved = null;
    }
    const folder = (document.getElementById('current-dir')?.textContent || '').trim();
    const back = document.createElement('a');
    back.href = tier;
    back.textContent = `Back to the ${WIZARDS[tier]} wizard`;
    const savedHere = saved && saved.tier === tier && saved.name && Date.now() - saved.at < 10 * 60 * 1000 &&
      /[\\/]$/.test(folder.slice(0, folder.length - saved.name.length)) && folder.endsWith(saved.name);
    if (savedHere) {
      const name = document.createElement('strong');
      name.textContent = saved.name;
      note.append('Saved: the settings of ', name, ' are in this folder as startup.properties. ', back, '.');
    } else if (document.querySelector('table.projects')) {
      note.append('Pick a project and choose “Open in wizard” to load it. ', back, '.');
    } else {
      note.append('No saved projects in this folder. ', back, '.');
    }
    note.hidden = false;
  }

  // ---- the file viewer (static/viewer.html) -------------------------------------------

  const LANGUAGES = {
    cpp: 'cpp', cc: 'cpp', cxx: 'cpp', c: 'cpp', h: 'cpp', hh: 'cpp', hpp: 'cpp', hxx: 'cpp', inl: 'cpp',
    xml: 'xml', wsdl: 'xml', xsd: 'xml', html: 'xml', htm: 'xml', vcproj: 'xml', xhtml: 'xml',
    properties: 'properties', ini: 'ini', mk: 'makefile', sh: 'bash', json: 'json',
    txt: 'plaintext', log: 'plaintext', dsp: 'plaintext', dsw: 'plaintext', sln: 'plaintext',
  };
  const LANGUAGE_NAMES = {
    cpp: 'C++', xml: 'XML', makefile: 'makefile', properties: 'properties', ini: 'INI', bash: 'shell',
    json: 'JSON', plaintext: 'plain text',
  };
  // Larger files are shown without colours: highlighting them would stall the page.
  const HIGHLIGHT_LIMIT = 512 * 1024;

  function languageOf(fileName) {
    const name = fileName.toLowerCase().replace(/\.sample$/, '');
    if (name === 'makefile' || name.startsWith('makefile.')) {
      return 'makefile';
    }
    const dot = name.lastIndexOf('.');
    return dot < 0 ? 'plaintext' : LANGUAGES[name.slice(dot + 1)] || 'plaintext';
  }

  function showViewerMessage(text, kind) {
    const message = document.getElementById('viewer-message');
    message.textContent = text;
    message.className = `notice ${kind}`;
    message.hidden = false;
  }

  function renderCode(text, fileName) {
    const code = document.getElementById('code');
    const gutter = document.querySelector('#code-frame .gutter');
    const language = languageOf(fileName);
    const hljs = window.hljs;
    if (hljs && language !== 'plaintext' && hljs.getLanguage(language) && text.length <= HIGHLIGHT_LIMIT) {
      code.innerHTML = hljs.highlight(text, { language, ignoreIllegals: true }).value;
      code.classList.add('hljs', `language-${language}`);
    } else {
      code.textContent = text;
    }
    code.dataset.language = language;
    const lines = text.endsWith('\n') ? text.split('\n').length - 1 : text.split('\n').length;
    gutter.textContent = Array.from({ length: lines }, (_, i) => i + 1).join('\n');
    document.getElementById('file-meta').textContent =
      `${lines} ${lines === 1 ? 'line' : 'lines'} · ${LANGUAGE_NAMES[language] ?? language}`;
    return lines;
  }

  // Marks one line of the shown file (a compiler's diagnostic links here)
  // and brings it into view.
  function markLine(line, lines) {
    if (!(line >= 1 && line <= lines)) {
      return;
    }
    const frame = document.getElementById('code-frame');
    const code = frame.querySelector('pre.code');
    const style = getComputedStyle(code);
    const height = parseFloat(style.lineHeight);
    const mark = document.createElement('div');
    mark.className = 'line-mark';
    mark.id = `line-${line}`;
    mark.style.top = `${parseFloat(style.paddingTop) + (line - 1) * height}px`;
    mark.style.height = `${height}px`;
    frame.append(mark);
    document.getElementById('file-meta').append(` · line ${line} marked`);
    mark.scrollIntoView({ block: 'center' });
  }

  async function setUpViewer() {
    const src = new URLSearchParams(window.location.search).get('src');
    let url = null;
    try {
      url = src ? new URL(src, window.location.href) : null;
    } catch (error) {
      url = null;
    }
    // Only files of this server are shown.
    if (!url || url.origin !== window.location.origin) {
      showViewerMessage('No file to show. Open a file from a project’s status page.', 'error');
      return;
    }
    const fileName = decodeURIComponent(url.pathname.slice(url.pathname.lastIndexOf('/') + 1));
    document.getElementById('file-name').textContent = fileName;
    document.title = `${fileName} · orvowizard`;
    document.getElementById('raw-link').href = url.href;
    const statusAt = url.pathname.indexOf('/status/');
    if (statusAt >= 0) {
      document.getElementById('back-link').href = url.pathname.slice(0, statusAt + 7) + url.search;
    }
    const wrap = document.getElementById('wrap-toggle');
    wrap.addEventListener('click', () => {
      const on = wrap.getAttribute('aria-pressed') !== 'true';
      wrap.setAttribute('aria-pressed', String(on));
      document.getElementById('code-frame').classList.toggle('wrap', on);
    });

    try {
      const response = await fetch(url.href, { credentials: 'same-origin' });
      const type = response.headers.get('content-type') || '';
      // For a missing or empty file the status page answers with itself.
      const isPage = type.startsWith('text/html') && !/\.html?$/i.test(fileName);
      if (!response.ok || isPage || response.redirected) {
        showViewerMessage(`${fileName} is missing or empty.`, 'error');
        return;
      }
      const lines = renderCode(await response.text(), fileName);
      document.getElementById('code-frame').hidden = false;
      markLine(Number(new URLSearchParams(window.location.search).get('line')), lines);
      document.getElementById('raw-link').hidden = false;
      wrap.hidden = false;
    } catch (error) {
      showViewerMessage(`${fileName} could not be loaded: the server may have stopped.`, 'error');
    }
  }

  ready(() => {
    setUpConfirmations();
    const wizard = document.querySelector('form.wizard');
    if (wizard) {
      setUpWizard(wizard);
    }
    for (const form of document.querySelectorAll('form.run-form')) {
      setUpRunForm(form);
    }
    // On the try-it page a choice shows its alternative's fields as soon as
    // it is picked.
    for (const select of document.querySelectorAll('form.tryit-form select[name^="c:"]')) {
      select.addEventListener('change', () => {
        select.parentElement.querySelector('button[value="choose"]')?.click();
      });
    }
    setUpFileLinks();
    setUpFromWizardNote();
    if (document.body.classList.contains('viewer')) {
      setUpViewer();
    }
  });
})();
